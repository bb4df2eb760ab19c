#pragma once

#include "ZelApi.h"

#include <osg/ref_ptr>
#include <string>

namespace osg {
class Object;
}

// What the colour-mapping pipeline offers beyond IRenderPipeline: the attribute and component
// it colours by, and the point stream to the web server plug-in.
class ZEL_API IRenderPipelineColorMapping
{
public:
    virtual ~IRenderPipelineColorMapping();

    // Indices into the dialog's attribute ("Position", ...) and component ("x" to "w") lists.
    virtual void selectColorMappedAttribute(int index) = 0;
    virtual void selectColorMappedComponent(int index) = 0;
    // Reads the frame back and hands its points to the web server plug-in.
    virtual void exportStream() = 0;
    // From now on a requested frame goes out within 50 ms.
    virtual void startStreamTimer() = 0;
    virtual void setStreamRequested(bool requested) = 0;
    virtual bool isStreamRequested() const = 0;
    virtual void registerRenderBuffer(const std::string& name,
                                      osg::ref_ptr<osg::Object> buffer) = 0;
};
