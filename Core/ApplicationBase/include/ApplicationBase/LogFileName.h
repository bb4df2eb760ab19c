#pragma once

#include "ZelApi.h"

#include <memory>
#include <string>

namespace Logger::Util {
class File;
}

// The log file of a run: TEMP, TMP, TMPDIR or /tmp, then "/#" + prefix + "_" + local time
// "yyyy-MM-dd_hh-mm-ss" + "_" + the process id as five digits + ".log".
ZEL_API std::string logFileName(const std::string& prefix);

// Creates a new log file at path, or, if that name is taken (by an earlier run, or by a file or
// link someone planted), at the first free name made from it with "-1", "-2" ...; an existing
// file is never opened. Null with the reason in error when none could be made.
ZEL_API std::unique_ptr<Logger::Util::File>
createNewLogFile(const std::string& path, bool withEarlierRecords, std::string& error);
