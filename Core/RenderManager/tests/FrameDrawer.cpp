#include "FrameDrawer.h"

#include "OffscreenRenderer.h"
#include "QtOSGPluginBase/ModelEvent.h"

FrameDrawer::FrameDrawer(EventSystem* events, OffscreenRenderer& renderer, osg::Node* drawn)
    : EventHandler(events, "FrameDrawer", EventType::Model), scene(drawn), m_renderer(renderer)
{}

bool FrameDrawer::handleEvent(Event& event)
{
    if (static_cast<ModelEvent&>(event).kind == ModelEvent::BeforeReadBack && scene)
        m_renderer.render(scene);
    return false;
}
