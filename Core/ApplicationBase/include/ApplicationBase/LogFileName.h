#pragma once

#include "ZelApi.h"

#include <string>

// The log file of a run: TEMP, TMP, TMPDIR or /tmp, then "/#" + prefix + "_" + local time
// "yyyy-MM-dd_hh-mm-ss" + "_" + the process id as five digits + ".log".
ZEL_API std::string logFileName(const std::string& prefix);
