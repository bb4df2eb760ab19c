#include "PluginSystem/Uuid.h"

#include <boost/uuid/uuid_io.hpp>

namespace {

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSeparatorPosition(std::size_t position, bool shortForm)
{
    return position == 8 || position == 13 || position == 18 || (!shortForm && position == 23);
}

} // namespace

bool parseUuid(const std::string& text, Uuid& uuid, bool shortForm)
{
    const std::size_t length = shortForm ? 35 : 36;
    if (text.size() < length)
        return false;
    Uuid result{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < length && byte < result.size();) {
        if (isSeparatorPosition(i, shortForm)) {
            ++i;
            continue;
        }
        const int high = hexValue(static_cast<unsigned char>(text[i]));
        const int low = hexValue(static_cast<unsigned char>(text[i + 1]));
        if (high < 0 || low < 0)
            return false;
        result.data[byte++] = static_cast<std::uint8_t>(high << 4 | low);
        i += 2;
    }
    uuid = result;
    return true;
}

Uuid uuidFromString(const std::string& text)
{
    Uuid uuid{};
    parseUuid(text, uuid);
    return uuid;
}

std::string uuidToString(const Uuid& uuid)
{
    return boost::uuids::to_string(uuid);
}
