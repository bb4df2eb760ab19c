#include "PickingTreeDetacher.h"

#include <osg/Group>
#include <osg/KdTree>
#include <osg/ShapeDrawable>

PickingTreeDetacher::PickingTreeDetacher(osg::Node& root)
{
    std::unordered_set<const osg::Node*> seen;
    detach(root, seen);
}

PickingTreeDetacher::~PickingTreeDetacher()
{
    for (auto& entry : m_detached) {
        osg::ref_ptr<osg::Drawable> drawable;
        // Put back only where nothing took the place meanwhile.
        if (entry.first.lock(drawable) && !drawable->getShape())
            drawable->setShape(entry.second.get());
    }
}

void PickingTreeDetacher::detach(osg::Node& node, std::unordered_set<const osg::Node*>& seen)
{
    if (!seen.insert(&node).second)
        return;
    if (osg::Drawable* drawable = node.asDrawable()) {
        // A ShapeDrawable rebuilds itself from its shape; selection never gives it a tree.
        if (dynamic_cast<osg::KdTree*>(drawable->getShape()) &&
            !dynamic_cast<osg::ShapeDrawable*>(drawable)) {
            m_detached.emplace_back(drawable, drawable->getShape());
            drawable->setShape(nullptr);
        }
    } else if (osg::Group* group = node.asGroup()) {
        for (unsigned i = 0; i < group->getNumChildren(); ++i)
            if (osg::Node* child = group->getChild(i))
                detach(*child, seen);
    }
}
