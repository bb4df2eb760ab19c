#include "OffDiskPagers.h"

#include <osgDB/DatabasePager>
#include <osgDB/ImagePager>
#include <osgViewer/View>

namespace {

class NoDiskDatabasePager : public osgDB::DatabasePager
{
public:
    NoDiskDatabasePager() = default;
    NoDiskDatabasePager(const NoDiskDatabasePager& other) : osgDB::DatabasePager(other) {}

    osgDB::DatabasePager* clone() const override { return new NoDiskDatabasePager(*this); }

    void requestNodeFile(const std::string&, osg::NodePath&, float, const osg::FrameStamp*,
                         osg::ref_ptr<osg::Referenced>&, const osg::Referenced*) override
    {}
};

class NoDiskImagePager : public osgDB::ImagePager
{
public:
    osg::ref_ptr<osg::Image> readRefImageFile(const std::string&, const osg::Referenced*) override
    {
        return nullptr;
    }

    void requestImageFile(const std::string&, osg::Object*, int, double, const osg::FrameStamp*,
                          osg::ref_ptr<osg::Referenced>&, const osg::Referenced*) override
    {}
};

} // namespace

void keepPagersOffDisk(osgViewer::View& view)
{
    // Scenes made later (setSceneData) clone the prototype.
    if (!dynamic_cast<NoDiskDatabasePager*>(osgDB::DatabasePager::prototype().get()))
        osgDB::DatabasePager::prototype() = new NoDiskDatabasePager;
    if (!dynamic_cast<NoDiskDatabasePager*>(view.getDatabasePager()))
        view.setDatabasePager(new NoDiskDatabasePager);
    if (!dynamic_cast<NoDiskImagePager*>(view.getImagePager()))
        view.setImagePager(new NoDiskImagePager);
}
