#pragma once

#include "EventSystem/EventHandler.h"

class OffscreenRenderer;
namespace osg {
class Node;
}

// What a viewer does when a pipeline captures: draws the frame before the dispatch returns.
class FrameDrawer : public EventHandler
{
public:
    FrameDrawer(EventSystem* events, OffscreenRenderer& renderer, osg::Node* scene = nullptr);

    bool handleEvent(Event& event) override;

    // The node drawn; nothing is drawn while it is null.
    osg::Node* scene = nullptr;

private:
    OffscreenRenderer& m_renderer;
};
