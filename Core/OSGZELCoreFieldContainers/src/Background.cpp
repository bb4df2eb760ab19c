#include "OSGZELCoreFieldContainers/Background.h"

namespace OSG {

Background::Background() : Background(osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f)) {}

Background::Background(const osg::Vec4& clearColor, GLbitfield clearMask)
    : m_clearColor(clearColor), m_clearMask(clearMask)
{}

Background::Background(const Background& other, const osg::CopyOp& copyOp)
    : osg::Object(other, copyOp), m_clearColor(other.m_clearColor), m_clearMask(other.m_clearMask)
{}

Background::~Background() = default;

} // namespace OSG
