#pragma once

#include "OSGZELCoreFieldContainers/Background.h"

#include <osg/Drawable>

namespace OSG {

// Clears the current viewport with a stage's background before anything else of the render
// stage it lands in is drawn. A nested camera cannot clear through OpenSceneGraph's own means.
class BackgroundClear : public osg::Drawable
{
public:
    BackgroundClear();
    BackgroundClear(const BackgroundClear& other,
                    const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Object(OSG, BackgroundClear)

        void setBackground(Background* background)
    {
        m_background = background;
    }
    Background* getBackground() const { return m_background.get(); }

    void drawImplementation(osg::RenderInfo& renderInfo) const override;

protected:
    ~BackgroundClear() override;

private:
    osg::ref_ptr<Background> m_background;
};

} // namespace OSG
