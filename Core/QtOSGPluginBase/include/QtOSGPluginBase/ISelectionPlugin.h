#pragma once

#include "KernelInterface/IKernel.h"
#include "ZelApi.h"

#include <osg/Referenced>
#include <osg/ref_ptr>

class IOSGViewer;

namespace osgViewer {
class View;
}

// The plug-in that picks and selects objects in the viewers' models.
class ZEL_API ISelectionPlugin
{
public:
    virtual ~ISelectionPlugin();

    virtual void registerViewer(osgViewer::View* scene, IOSGViewer* viewer,
                                const osg::ref_ptr<osg::Referenced>& context,
                                const ConfigLocation& location) = 0;
    virtual void reset() = 0;
};
