#include "cpplog/BaseLogger.h"

namespace cpplog {

BaseLogger::~BaseLogger() = default;

} // namespace cpplog
