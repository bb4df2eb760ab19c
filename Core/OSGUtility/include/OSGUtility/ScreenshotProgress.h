#pragma once

#include "ZelApi.h"

namespace OSGU {

// Told how far a screenshot is, in percent; returning false cancels it.
class ZEL_API ScreenshotProgress
{
public:
    virtual ~ScreenshotProgress();

    virtual bool progress(unsigned int percent) = 0;
};

} // namespace OSGU
