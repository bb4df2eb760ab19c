#pragma once

#include "OSGZELCoreFieldContainers/Stage.h"

namespace OSG {

// Renders its subtree in one forward pass after clearing with its background.
class ZEL_API ForwardStage : public Stage
{
public:
    ForwardStage();
    ForwardStage(const ForwardStage& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(OSG, ForwardStage)

        using Stage::getBackground;
    using Stage::setBackground;

protected:
    ~ForwardStage() override;
};

} // namespace OSG
