#pragma once

#include "PluginSystem/Uuid.h"

#include <cstdint>
#include <map>
#include <string>

namespace InstantiationHints {

// Written wherever a hint is read from text and none was given.
constexpr std::int32_t none = 2147483647;

// Reads pio.cfg: one "UUID hint" pair a line; the first line for a UUID wins.
std::map<Uuid, std::int32_t> read(const std::string& path);

// "Instantiate NAME (CATEGORY +-N)": the category whose upper bound first reaches the hint.
std::string describe(const std::string& name, std::int32_t hint);

} // namespace InstantiationHints
