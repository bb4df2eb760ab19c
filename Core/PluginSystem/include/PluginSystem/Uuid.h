#pragma once

#include "ZelApi.h"

#include <boost/uuid/uuid.hpp>
#include <string>

// 16 bytes, ordered byte by byte as unsigned values.
using Uuid = boost::uuids::uuid;

// Reads 16 bytes from pairs of hex digits in the 36-character form (8-4-4-4-12), or in the
// 35-character form (8-4-4-16) when shortForm is set. Separator positions are skipped whatever
// they hold; any other character that is not a hex digit makes the parse fail.
ZEL_API bool parseUuid(const std::string& text, Uuid& uuid, bool shortForm = false);

// Like parseUuid on the 36-character form, for literals that are known to be valid.
ZEL_API Uuid uuidFromString(const std::string& text);

// Lowercase 36-character text form.
ZEL_API std::string uuidToString(const Uuid& uuid);
