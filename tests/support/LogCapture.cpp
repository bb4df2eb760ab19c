#include "LogCapture.h"

void LogCapture::handleMessage(const std::string& text, std::uint32_t, const std::string&)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.push_back(text);
}

std::vector<std::string> LogCapture::records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}

bool LogCapture::contains(const std::string& text) const
{
    return indexOf(text) >= 0;
}

int LogCapture::count(const std::string& text) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const std::string& record : m_records)
        n += record.find(text) != std::string::npos;
    return n;
}

int LogCapture::indexOf(const std::string& text) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (std::size_t i = 0; i < m_records.size(); ++i)
        if (m_records[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
}
