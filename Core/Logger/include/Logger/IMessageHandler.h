#pragma once

#include "ZelApi.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cpplog {
class MultiplexLogger;
}

namespace Logger::Util {

// Receives every record as text while it lives. handleMessage runs under the logger's lock on the
// thread that logged: it must not log and must not block. A subclass whose handleMessage uses
// its own members calls detach() first in its destructor, so no record arrives half-destroyed.
class ZEL_API IMessageHandler
{
public:
    class Impl;

    // Registers at once, unless attachLater: then the subclass calls attach() when it is ready.
    explicit IMessageHandler(cpplog::MultiplexLogger* multiplexer = nullptr,
                             bool attachLater = false);
    IMessageHandler(const IMessageHandler&) = delete;
    IMessageHandler& operator=(const IMessageHandler&) = delete;
    virtual ~IMessageHandler();

    virtual void handleMessage(const std::string& text, std::uint32_t level,
                               const std::string& fileName) = 0;

protected:
    // Registers with the logger; withEarlierRecords: the records the logger kept from before
    // (when no log file took them) arrive first, from within this call.
    void attach(bool withEarlierRecords);
    // Unregisters from the logger; later records are not delivered. Safe to call twice.
    void detach();

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace Logger::Util
