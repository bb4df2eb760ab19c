#pragma once

#include "ZelApi.h"

#include <string>

// What came of reading or writing a file. A reader or writer that does not handle a file says
// so, and the file goes on to the next one; any other failure is final.
struct ZEL_API FileResult
{
    enum Status
    {
        Done,
        NotHandled,
        Failed
    };

    static FileResult done() { return {}; }
    static FileResult notHandled(std::string reason) { return {NotHandled, std::move(reason)}; }
    static FileResult failed(std::string reason) { return {Failed, std::move(reason)}; }

    bool ok() const { return status == Done; }

    Status status = Done;
    // Why not, in words the user can act on; empty when done.
    std::string reason;
};
