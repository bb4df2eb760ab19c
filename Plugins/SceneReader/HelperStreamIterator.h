#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <osgDB/StreamOperator>
#include <stdexcept>
#include <string>
#include <vector>

class PipeInputBuffer;

// Reads the binary .osgb stream that the reader helper sends, for osgDB's InputStream. Unlike
// osgDB's own reader it trusts nothing in it:
// - a count followed by its elements ("size {") must be matched by as many bytes received
//   before osgDB allocates for them (else StreamAbandoned is thrown), and so must a string's
//   length;
// - an object must be of a class osgDB knows (else osgDB warns and reads on out of step);
// - an id must name the same class every time (osgDB casts what an id gives without a check);
// - an object may not refer (by its id) to an object still being read around it: such a
//   reference cycle would never be freed, or make a group its own child;
// - an image's data must hold what its size needs, and its mipmap list must fit the stream;
// - when the data ends (or the helper dies, or the read is cancelled) it throws
//   StreamAbandoned at once: osgDB would otherwise go on through its loops, logging a message
//   per value and handing null objects to setters that crash on them.
class HelperStreamIterator : public osgDB::InputIterator
{
public:
    struct StreamAbandoned : std::runtime_error
    {
        using std::runtime_error::runtime_error;
    };

    explicit HelperStreamIterator(PipeInputBuffer& buffer);

    // Reads and checks the binary header; false (with failure()) when it is not one.
    bool readHeader();
    // Empty while the stream is sound.
    const std::string& failure() const { return m_failure; }
    void fail(const std::string& reason);
    // Checks that the count that comes next (a container's length, read by osgDB right before
    // it reserves room for the elements) is matched by as many bytes received; throws if not.
    void checkNextCount();
    // Checks that the number that comes next is one of an enumeration's values; throws if not.
    void checkNextEnumeration(const std::map<int, std::string>& values, const std::string& name);
    // The iterator parsing on this thread, if any.
    static HelperStreamIterator* active();
    static void setActive(HelperStreamIterator* iterator);

    // The bytes each image's data was allocated with, by the data's address.
    const std::map<const void*, std::uint32_t>& imageDataSizes() const { return m_imageDataSizes; }

    bool isBinary() const override { return true; }
    void readBool(bool& b) override;
    void readChar(char& c) override { readValue(c); }
    void readSChar(signed char& c) override { readValue(c); }
    void readUChar(unsigned char& c) override { readValue(c); }
    void readShort(short& s) override { readValue(s); }
    void readUShort(unsigned short& s) override { readValue(s); }
    void readInt(int& i) override;
    void readUInt(unsigned int& i) override;
    void readLong(long& l) override;
    void readULong(unsigned long& l) override;
    void readFloat(float& f) override { readValue(f); }
    void readDouble(double& d) override { readValue(d); }
    void readString(std::string& s) override;
    void readStream(std::istream& (*)(std::istream&)) override {}
    void readBase(std::ios_base& (*)(std::ios_base&)) override {}
    void readGLenum(osgDB::ObjectGLenum& value) override;
    void readProperty(osgDB::ObjectProperty& property) override;
    void readMark(osgDB::ObjectMark& mark) override;
    void readCharArray(char* s, unsigned int size) override;
    void readWrappedString(std::string& s) override { readString(s); }
    // osgDB calls it when it has read an object.
    void advanceToCurrentEndBracket() override;

private:
    template <class T> void readValue(T& value)
    {
        m_pendingCount = 0;
        m_signedRun.clear();
        m_imageHeader.clear();
        m_afterImageData = false;
        m_afterOpeningMark = false;
        m_objectIdNext = false;
        m_imageIdNext = false;
        m_lastString.clear();
        m_stringJustRead = false;
        take(reinterpret_cast<char*>(&value), sizeof value);
    }
    // Throws on a failure unless deferred, then the next read throws.
    bool take(char* data, std::size_t size, bool deferFailure = false);
    template <class T> void readInteger(T& value);
    void openObject(std::uint32_t id);
    void checkIdClass(std::uint32_t id, const std::string& className);
    void checkImageData(const std::vector<std::int64_t>& header, const char* data,
                        unsigned int size);
    std::string endReason() const;

    PipeInputBuffer& m_buffer;
    // osgDB's InputIterator needs a stream; all reading goes through the buffer directly.
    std::istream m_stream;
    std::string m_failure;
    // The last integer read, when it was the last thing read: the count before a "{".
    std::uint64_t m_pendingCount = 0;
    // The signed integers read one after the other up to now, and an image's header: nine of
    // them and the unsigned size of its data.
    std::vector<std::int64_t> m_signedRun;
    std::vector<std::int64_t> m_imageHeader;
    // The next unsigned integer is the count of an image's mipmap levels.
    bool m_afterImageData = false;
    std::map<const void*, std::uint32_t> m_imageDataSizes;
    // osgDB reads an object as class name, "{", the property "UniqueID" and the id.
    bool m_afterOpeningMark = false;
    bool m_objectIdNext = false;
    std::vector<std::uint32_t> m_openObjects;
    bool m_imageIdNext = false;
    // The class the next id belongs to, and the class each id was read with first.
    std::string m_idClass;
    std::map<std::uint32_t, std::string> m_idClasses;
    // The string just read: before a "{" it names the class of the object that follows.
    std::string m_lastString;
    bool m_stringJustRead = false;
};
