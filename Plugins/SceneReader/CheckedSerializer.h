#pragma once

#include <osgDB/Serializer>

// Stands in front of an osgDB serializer that trusts what it reads from a binary stream, and
// checks it first while the reader helper's stream is parsed on the thread (otherwise it
// changes nothing):
// - container serializers (vectors, lists, maps: arrays, index lists, child lists) read a
//   count and reserve room for that many elements before reading one: a count of 2^31 asks
//   for tens of gigabytes. The count must be matched by as many bytes received;
// - enumeration serializers cast any number to their enumeration (a binding of 257): the
//   number must be one of its values.
class CheckedSerializer : public osgDB::BaseSerializer
{
public:
    enum class Check
    {
        Count,
        Enumeration
    };

    CheckedSerializer(osgDB::BaseSerializer* wrapped, Check check);

    bool set(osg::Object& object, void* value) override;
    bool get(const osg::Object& object, void* value) override;
    bool read(osgDB::InputStream& is, osg::Object& object) override;
    bool write(osgDB::OutputStream& os, const osg::Object& object) override;
    const std::string& getName() const override;
    osgDB::IntLookup* getIntLookup() override;

    // Loads the serializers of every node kit osgDB may load and puts this in front of each of
    // their container and enumeration serializers, once per process.
    static void installEverywhere();

private:
    osg::ref_ptr<osgDB::BaseSerializer> m_wrapped;
    Check m_check;
};
