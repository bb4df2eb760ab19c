#include "OSGZELCoreFieldContainers/TestingStage.h"

namespace OSG {

TestingStage::TestingStage() = default;

TestingStage::TestingStage(const TestingStage& other, const osg::CopyOp& copyOp)
    : Stage(other, copyOp)
{}

TestingStage::~TestingStage() = default;

} // namespace OSG
