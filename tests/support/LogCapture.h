#pragma once

#include "Logger/IMessageHandler.h"

#include <mutex>
#include <string>
#include <vector>

// Collects every log record made while it lives.
class LogCapture : public Logger::Util::IMessageHandler
{
public:
    ~LogCapture() override { detach(); }

    void handleMessage(const std::string& text, std::uint32_t level,
                       const std::string& fileName) override;

    std::vector<std::string> records() const;
    bool contains(const std::string& text) const;
    int count(const std::string& text) const;
    // Index of the first record holding text, or -1.
    int indexOf(const std::string& text) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_records;
};
