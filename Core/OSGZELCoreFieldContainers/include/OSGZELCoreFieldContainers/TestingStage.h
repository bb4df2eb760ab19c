#pragma once

#include "OSGZELCoreFieldContainers/Stage.h"

namespace OSG {

// The smallest stage: renders its subtree over what its target already holds (it clears only
// the depth buffer).
class ZEL_API TestingStage : public Stage
{
public:
    TestingStage();
    TestingStage(const TestingStage& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(OSG, TestingStage)

        protected : ~TestingStage() override;
};

} // namespace OSG
