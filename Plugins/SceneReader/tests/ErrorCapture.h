#pragma once

#include "LogCapture.h"
#include "Logger/Log.h"

#include <string>
#include <vector>

// Keeps the ERROR records apart, so a test can ask that a failure was reported as one.
class ErrorCapture : public LogCapture
{
public:
    ~ErrorCapture() override { detach(); }

    void handleMessage(const std::string& text, std::uint32_t level,
                       const std::string& fileName) override
    {
        if (level == Logger::Error) {
            std::lock_guard<std::mutex> lock(m_errorMutex);
            m_errors.push_back(text);
        }
        LogCapture::handleMessage(text, level, fileName);
    }

    // The ERROR records holding every one of the texts.
    int errorsWith(std::initializer_list<std::string> texts) const
    {
        std::lock_guard<std::mutex> lock(m_errorMutex);
        int n = 0;
        for (const std::string& error : m_errors) {
            bool all = true;
            for (const std::string& text : texts)
                all = all && error.find(text) != std::string::npos;
            n += all;
        }
        return n;
    }

    std::size_t errorCount() const
    {
        std::lock_guard<std::mutex> lock(m_errorMutex);
        return m_errors.size();
    }

    void clearErrors()
    {
        std::lock_guard<std::mutex> lock(m_errorMutex);
        m_errors.clear();
    }

private:
    mutable std::mutex m_errorMutex;
    std::vector<std::string> m_errors;
};
