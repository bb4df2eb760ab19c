#include "OSGZELCoreFieldContainers/ForwardStage.h"

namespace OSG {

ForwardStage::ForwardStage() = default;

ForwardStage::ForwardStage(const ForwardStage& other, const osg::CopyOp& copyOp)
    : Stage(other, copyOp)
{}

ForwardStage::~ForwardStage() = default;

} // namespace OSG
