#include "HelperStreamIterator.h"

#include "PipeInputBuffer.h"

#include <algorithm>
#include <cstring>
#include <osg/Image>
#include <osgDB/DataTypes>
#include <osgDB/ObjectWrapper>
#include <osgDB/Registry>
#include <type_traits>
#include <utility>

namespace {

// Pixels of one image: larger ones no graphics card draws, and their sizes would overflow.
constexpr std::int64_t maximumImagePixels = std::int64_t(1) << 26;
// osgDB reads an image's header as nine integers (origin, width, height, depth, internal
// format, pixel format, data type, packing, allocation mode), then the data's size.
constexpr std::size_t imageHeaderIntegers = 10;

thread_local HelperStreamIterator* activeIterator = nullptr;

std::string printable(const std::string& text)
{
    std::string result;
    for (const char c : text.substr(0, 80))
        result += (c >= 0x20 && c < 0x7f) ? c : '?';
    return result;
}

} // namespace

HelperStreamIterator* HelperStreamIterator::active()
{
    return activeIterator;
}

void HelperStreamIterator::setActive(HelperStreamIterator* iterator)
{
    activeIterator = iterator;
}

void HelperStreamIterator::checkNextCount()
{
    if (!m_failure.empty())
        throw StreamAbandoned(m_failure);
    std::uint32_t count = 0;
    if (!m_buffer.ensureAhead(sizeof count)) {
        fail(endReason());
        throw StreamAbandoned(m_failure);
    }
    std::memcpy(&count, m_buffer.ahead(), sizeof count);
    if (!m_buffer.ensureAhead(sizeof count + std::size_t(count))) {
        fail("it announces " + std::to_string(count) + " elements but ends before them");
        throw StreamAbandoned(m_failure);
    }
}

void HelperStreamIterator::checkNextEnumeration(const std::map<int, std::string>& values,
                                                const std::string& name)
{
    if (!m_failure.empty())
        throw StreamAbandoned(m_failure);
    std::int32_t value = 0;
    if (!m_buffer.ensureAhead(sizeof value)) {
        fail(endReason());
        throw StreamAbandoned(m_failure);
    }
    std::memcpy(&value, m_buffer.ahead(), sizeof value);
    if (values.count(value) == 0) {
        fail(name + " has the unknown value " + std::to_string(value));
        throw StreamAbandoned(m_failure);
    }
}

HelperStreamIterator::HelperStreamIterator(PipeInputBuffer& buffer)
    : m_buffer(buffer), m_stream(&buffer)
{
    setStream(&m_stream);
}

void HelperStreamIterator::fail(const std::string& reason)
{
    if (!m_failure.empty())
        return;
    m_failure = reason;
    if (getInputStream())
        throwException(reason);
}

std::string HelperStreamIterator::endReason() const
{
    switch (m_buffer.end()) {
    case PipeInputBuffer::End::TimedOut:
        return "the read took too long";
    case PipeInputBuffer::End::Cancelled:
        return "the read was cancelled";
    case PipeInputBuffer::End::Failed:
        return "reading the helper's output failed";
    default:
        return "the stream ends in the middle of the scene";
    }
}

bool HelperStreamIterator::take(char* data, std::size_t size, bool deferFailure)
{
    if (!m_failure.empty() && deferFailure)
        return false;
    if (!m_failure.empty())
        throw StreamAbandoned(m_failure);
    if (size == 0)
        return true;
    if (static_cast<std::size_t>(m_buffer.sgetn(data, static_cast<std::streamsize>(size))) == size)
        return true;
    fail(endReason());
    if (!deferFailure)
        throw StreamAbandoned(m_failure);
    return false;
}

bool HelperStreamIterator::readHeader()
{
    unsigned int low = 0;
    unsigned int high = 0;
    readUInt(low);
    readUInt(high);
    if (m_failure.empty() && (low != OSG_HEADER_LOW || high != OSG_HEADER_HIGH))
        fail("it is not an .osgb stream of this machine's byte order");
    return m_failure.empty();
}

void HelperStreamIterator::readBool(bool& b)
{
    char c = 0;
    readValue(c);
    b = c != 0;
}

template <class T> void HelperStreamIterator::readInteger(T& value)
{
    const bool mipmapCount = m_afterImageData && std::is_unsigned<T>::value;
    const bool objectId = m_objectIdNext && std::is_unsigned<T>::value;
    const bool imageId = m_imageIdNext && std::is_unsigned<T>::value;
    const std::string idClass = std::move(m_idClass);
    std::vector<std::int64_t> signedRun = std::move(m_signedRun);
    readValue(value);
    if (objectId || imageId)
        checkIdClass(static_cast<std::uint32_t>(value), idClass);
    if (objectId)
        openObject(static_cast<std::uint32_t>(value));
    m_pendingCount = value > 0 ? static_cast<std::uint64_t>(value) : 0;
    if (std::is_signed<T>::value) {
        signedRun.push_back(static_cast<std::int64_t>(value));
        if (signedRun.size() == imageHeaderIntegers)
            signedRun.erase(signedRun.begin());
        m_signedRun = std::move(signedRun);
    } else if (signedRun.size() + 1 == imageHeaderIntegers) {
        // The size of an image's data, which osgDB allocates right after reading it.
        m_imageHeader = std::move(signedRun);
        m_imageHeader.push_back(static_cast<std::int64_t>(value));
        if (!m_buffer.ensureAhead(static_cast<std::size_t>(value))) {
            fail("an image announces " + std::to_string(value) +
                 " bytes of data but the stream ends before them");
            throw StreamAbandoned(m_failure);
        }
        // Without data, the count of mipmap levels comes right after the size.
        m_afterImageData = value == 0;
    }
    // osgDB makes the list of mipmap offsets right after reading its length.
    if (mipmapCount &&
        !m_buffer.ensureAhead(static_cast<std::size_t>(value) * sizeof(std::uint32_t))) {
        fail("an image announces " + std::to_string(value) + " mipmap levels but the stream ends");
        throw StreamAbandoned(m_failure);
    }
}

// osgDB hands out an object read before by its id, as whatever the reader expects there (an
// image with a static_cast): the id must name the class it named the first time.
void HelperStreamIterator::checkIdClass(std::uint32_t id, const std::string& className)
{
    const auto known = m_idClasses.emplace(id, className);
    if (!known.second && known.first->second != className) {
        fail("it calls the object with id " + std::to_string(id) + " a " + printable(className) +
             " after a " + printable(known.first->second));
        throw StreamAbandoned(m_failure);
    }
}

void HelperStreamIterator::openObject(std::uint32_t id)
{
    if (std::find(m_openObjects.begin(), m_openObjects.end(), id) != m_openObjects.end()) {
        fail("an object refers to one that holds it (id " + std::to_string(id) + ")");
        throw StreamAbandoned(m_failure);
    }
    m_openObjects.push_back(id);
}

void HelperStreamIterator::advanceToCurrentEndBracket()
{
    if (!m_openObjects.empty())
        m_openObjects.pop_back();
}

void HelperStreamIterator::readInt(int& i)
{
    readInteger(i);
}

void HelperStreamIterator::readUInt(unsigned int& i)
{
    readInteger(i);
}

// osgDB writes longs as 32 bits.
void HelperStreamIterator::readLong(long& l)
{
    std::int32_t value = 0;
    readValue(value);
    l = value;
}

void HelperStreamIterator::readULong(unsigned long& l)
{
    std::uint32_t value = 0;
    readValue(value);
    l = value;
}

void HelperStreamIterator::readString(std::string& s)
{
    std::int32_t size = 0;
    readValue(size);
    s.clear();
    m_stringJustRead = true;
    if (size < 0) {
        fail("a string has a negative length");
        throw StreamAbandoned(m_failure);
    }
    if (size == 0)
        return;
    if (!m_buffer.ensureAhead(static_cast<std::size_t>(size))) {
        fail("a string of " + std::to_string(size) +
             " bytes is longer than the rest of the stream");
        throw StreamAbandoned(m_failure);
    }
    s.resize(static_cast<std::size_t>(size));
    take(&s[0], s.size());
    m_lastString = s;
}

void HelperStreamIterator::readGLenum(osgDB::ObjectGLenum& value)
{
    std::uint32_t e = 0;
    readValue(e);
    value.set(e);
}

void HelperStreamIterator::readProperty(osgDB::ObjectProperty& property)
{
    if (!m_failure.empty())
        throw StreamAbandoned(m_failure);
    m_objectIdNext = m_afterOpeningMark && property._name == "UniqueID";
    // An image is read as its class name (a string), then its id without a "{" between.
    m_imageIdNext = !m_afterOpeningMark && m_stringJustRead && property._name == "UniqueID";
    if (m_imageIdNext)
        m_idClass = m_lastString;
    m_afterOpeningMark = false;
    std::int32_t value = 0;
    if (property._mapProperty)
        readValue(value);
    property.set(value);
}

void HelperStreamIterator::readMark(osgDB::ObjectMark& mark)
{
    if (!m_failure.empty())
        throw StreamAbandoned(m_failure);
    const std::uint64_t count = m_pendingCount;
    m_pendingCount = 0;
    m_signedRun.clear();
    m_imageHeader.clear();
    m_afterImageData = false;
    m_objectIdNext = false;
    m_afterOpeningMark = mark._name == "{";
    const std::string className = std::move(m_lastString);
    const bool named = std::exchange(m_stringJustRead, false);
    m_lastString.clear();
    m_imageIdNext = false;
    m_idClass = m_afterOpeningMark && named ? className : std::string();
    if (m_afterOpeningMark && named &&
        osgDB::Registry::instance()->getObjectWrapperManager()->getWrapperMap().count(className) ==
            0) {
        fail("it holds an object of the unknown class " + printable(className));
        throw StreamAbandoned(m_failure);
    }
    // Every element takes at least one byte: a count the rest of the stream cannot hold is a lie
    // that would make osgDB allocate for it right after this mark, whatever it is told; only an
    // exception stops it there.
    if (mark._name == "{" && count > 0 && !m_buffer.ensureAhead(static_cast<std::size_t>(count))) {
        fail("it announces " + std::to_string(count) + " elements but ends before them");
        throw StreamAbandoned(m_failure);
    }
}

void HelperStreamIterator::readCharArray(char* s, unsigned int size)
{
    const std::vector<std::int64_t> header = std::move(m_imageHeader);
    m_imageHeader.clear();
    m_signedRun.clear();
    m_pendingCount = 0;
    m_afterImageData = false;
    if (header.size() == imageHeaderIntegers && header.back() == std::int64_t(size) &&
        m_failure.empty()) {
        checkImageData(header, s, size);
        m_afterImageData = true;
    }
    // osgDB allocated the bytes with new[] just before: it must get to hand them to their
    // image before the failure is thrown, at the next read.
    take(s, size, true);
}

// The header is the nine integers before the size: nothing else in the stream reads ten
// integers in a row and then bytes of the last one's length.
void HelperStreamIterator::checkImageData(const std::vector<std::int64_t>& header, const char* data,
                                          unsigned int size)
{
    const std::int64_t width = header[1];
    const std::int64_t height = header[2];
    const std::int64_t depth = header[3];
    const auto pixelFormat = static_cast<GLenum>(header[5]);
    const auto dataType = static_cast<GLenum>(header[6]);
    const auto packing = static_cast<int>(header[7]);
    const std::string dimensions =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    // Each factor is checked before the next multiplication, so that nothing overflows.
    const bool sized = width >= 0 && height >= 0 && depth >= 0 && width <= maximumImagePixels &&
                       height <= maximumImagePixels && width * height <= maximumImagePixels &&
                       width * height * depth <= maximumImagePixels;
    if (!sized || packing < 1 || packing > 8 ||
        osg::Image::computePixelSizeInBits(pixelFormat, dataType) == 0) {
        fail("an image of " + dimensions + " pixels is not one Zelvista takes");
        return;
    }
    const std::uint64_t needed = osg::Image::computeImageSizeInBytes(
        int(width), int(height), int(depth), pixelFormat, dataType, packing);
    if (needed > size) {
        fail("an image of " + dimensions + " pixels needs " + std::to_string(needed) +
             " bytes but has " + std::to_string(size));
        return;
    }
    m_imageDataSizes[data] = size;
}
