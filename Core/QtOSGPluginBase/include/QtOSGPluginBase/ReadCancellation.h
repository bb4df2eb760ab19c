#pragma once

#include "ZelApi.h"

#include <atomic>
#include <memory>

// Lets a file read that runs on a worker thread be cancelled from the GUI thread (Escape in the
// window): the worker opens a Scope with the read's flag, and a reader that can stop polls
// requested() on that thread while it waits.
class ZEL_API ReadCancellation
{
public:
    using Flag = std::shared_ptr<std::atomic<bool>>;

    static Flag makeFlag() { return std::make_shared<std::atomic<bool>>(false); }

    // True when the read running on this thread was cancelled.
    static bool requested();

    class ZEL_API Scope
    {
    public:
        explicit Scope(Flag flag);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Flag m_previous;
    };
};
