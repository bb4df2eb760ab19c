#pragma once

#include <osg/Drawable>
#include <osg/Shape>
#include <osg/observer_ptr>
#include <osg/ref_ptr>
#include <unordered_set>
#include <utility>
#include <vector>

namespace osg {
class Node;
}

// Takes the picking trees (osg::KdTree shapes that selection hangs on drawables) off a scene
// for as long as it lives, and puts them back when it goes. They are derived data, and written
// into a file they make other OpenSceneGraph tools warn about an unknown class on every load.
class PickingTreeDetacher
{
public:
    explicit PickingTreeDetacher(osg::Node& root);
    ~PickingTreeDetacher();
    PickingTreeDetacher(const PickingTreeDetacher&) = delete;
    PickingTreeDetacher& operator=(const PickingTreeDetacher&) = delete;

    std::size_t detached() const { return m_detached.size(); }

private:
    void detach(osg::Node& node, std::unordered_set<const osg::Node*>& seen);

    std::vector<std::pair<osg::observer_ptr<osg::Drawable>, osg::ref_ptr<osg::Shape>>> m_detached;
};
