#pragma once

#include <osgDB/Serializer>

// osgDB's container serializers (vectors, lists, maps: arrays, index lists, child lists) read
// a count and reserve room for that many elements before reading one: a count of 2^31 from a
// broken or hostile stream asks for tens of gigabytes. This one stands in front of such a
// serializer: while the reader helper's stream is parsed on the thread, the count must be
// matched by as many bytes received before the serializer it wraps goes on; otherwise it
// changes nothing.
class CountCheckedSerializer : public osgDB::BaseSerializer
{
public:
    explicit CountCheckedSerializer(osgDB::BaseSerializer* wrapped);

    bool set(osg::Object& object, void* value) override;
    bool get(const osg::Object& object, void* value) override;
    bool read(osgDB::InputStream& is, osg::Object& object) override;
    bool write(osgDB::OutputStream& os, const osg::Object& object) override;
    const std::string& getName() const override;
    osgDB::IntLookup* getIntLookup() override;

    // Loads the serializers of every node kit osgDB may load and puts this in front of each of
    // their container serializers, once per process.
    static void installEverywhere();

private:
    osg::ref_ptr<osgDB::BaseSerializer> m_wrapped;
};
