#include "ObjectHandles.h"

#include "Logger/Log.h"
#include "OSGUtility/ConstrainedRotateInteraction.h"
#include "OSGUtility/ConstrainedTranslateInteraction.h"
#include "OSGUtility/HandleGeometry.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "SetNodeTransform.h"

#include <QObject>
#include <algorithm>
#include <osg/Depth>
#include <osg/NodeCallback>

namespace {

const char* const groupName = "MANIPULATOR_HANDLES";
const osg::Vec4 axisColours[3] = {
    {0.9f, 0.2f, 0.2f, 1}, {0.2f, 0.8f, 0.2f, 1}, {0.25f, 0.4f, 1, 1}};
const osg::Vec4 highlightColour(1.0f, 0.9f, 0.1f, 1);
const char* const axisNames[3] = {"X", "Y", "Z"};
// In units of the frame, whose scale is the object's bounding radius times sizeOverRadius.
const float ringRadius = 1.0f;
const float tubeRadius = 0.035f;
const float arrowLength = 1.5f;
const float shaftRadius = 0.035f;
const float squareOffset = 0.3f;
const float squareSize = 0.3f;
const double sizeOverRadius = 1.25;
// In plane mode a ring turns nothing while the pointer is within half its radius of the centre.
const float deadZoneFactor = 0.5f;

osg::Vec3d axis(int index)
{
    osg::Vec3d direction;
    direction[index] = 1.0;
    return direction;
}

class SyncCallback : public osg::NodeCallback
{
public:
    explicit SyncCallback(ObjectHandles& handles) : m_handles(&handles) {}
    void forget() { m_handles = nullptr; }

    void operator()(osg::Node* node, osg::NodeVisitor* visitor) override
    {
        if (m_handles)
            m_handles->sync();
        traverse(node, visitor);
    }

private:
    ObjectHandles* m_handles;
};

// The path from the root to node that runs through scene.
osg::NodePath pathThrough(osg::Node& node, const osg::Node* scene)
{
    for (const osg::NodePath& path : node.getParentalNodePaths())
        if (std::find(path.begin(), path.end(), scene) != path.end())
            return path;
    return {};
}

double largestScale(const osg::Matrixd& matrix)
{
    return std::max({osg::Vec3d(matrix(0, 0), matrix(0, 1), matrix(0, 2)).length(),
                     osg::Vec3d(matrix(1, 0), matrix(1, 1), matrix(1, 2)).length(),
                     osg::Vec3d(matrix(2, 0), matrix(2, 1), matrix(2, 2)).length()});
}

} // namespace

ObjectHandles::ObjectHandles(const std::shared_ptr<IOSGModel>& model)
    : m_model(model), m_group(new osg::Group), m_frame(new osg::MatrixTransform),
      m_grabFrame(new osg::MatrixTransform)
{
    m_group->setName(groupName);
    osg::StateSet* state = m_group->getOrCreateStateSet();
    // Drawn last and over everything, so that a handle inside the object can still be grabbed.
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setAttributeAndModes(new osg::Depth(osg::Depth::ALWAYS, 0.0, 1.0, false),
                                osg::StateAttribute::ON | osg::StateAttribute::PROTECTED);
    state->setRenderBinDetails(1000, "RenderBin");
    m_group->addChild(m_frame);
    m_frame->addChild(m_interactions.getNode());
    m_frame->setNodeMask(0);
    m_grabFrame->addChild(new osg::Group);
    buildHandles();

    m_syncCallback = new SyncCallback(*this);
    m_group->setUpdateCallback(m_syncCallback);
    sync();
}

ObjectHandles::~ObjectHandles()
{
    cancelMove();
    if (auto* callback = dynamic_cast<SyncCallback*>(m_syncCallback.get()))
        callback->forget();
    m_group->setUpdateCallback(nullptr);
    for (unsigned int i = m_group->getNumParents(); i > 0; --i)
        m_group->getParent(i - 1)->removeChild(m_group);
}

void ObjectHandles::buildHandles()
{
    using OSGU::ConstrainedTranslateInteraction;
    // Arrows first: where an arrow crosses a ring, the arrow takes the drag.
    for (int i = 0; i < 3; ++i)
        m_interactions.add(std::make_unique<ConstrainedTranslateInteraction>(
            OSGU::makeArrowGeometry(i, arrowLength, shaftRadius, axisColours[i]),
            OSGU::makeArrowGeometry(i, arrowLength, shaftRadius, highlightColour),
            std::string("Move") + axisNames[i], osg::Plane(axis(i), 0.0),
            ConstrainedTranslateInteraction::Line));
    for (int i = 0; i < 3; ++i)
        m_interactions.add(std::make_unique<ConstrainedTranslateInteraction>(
            OSGU::makeSquareGeometry(i, squareOffset, squareSize, axisColours[i]),
            OSGU::makeSquareGeometry(i, squareOffset, squareSize, highlightColour),
            std::string("MoveAcross") + axisNames[i], osg::Plane(axis(i), 0.0),
            ConstrainedTranslateInteraction::Plane));
    for (int i = 0; i < 3; ++i)
        m_interactions.add(std::make_unique<OSGU::ConstrainedRotateInteraction>(
            OSGU::makeRingGeometry(i, ringRadius, tubeRadius, axisColours[i]),
            OSGU::makeRingGeometry(i, ringRadius, tubeRadius, highlightColour),
            std::string("Rotate") + axisNames[i], i));
    m_interactions.setRadiusFactor(deadZoneFactor);
}

bool ObjectHandles::isShown() const
{
    return m_frame->getNodeMask() != 0;
}

void ObjectHandles::sync()
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    if (!model)
        return;
    osg::ref_ptr<osg::Group> tools = model->getTools();
    if (tools && !tools->containsNode(m_group.get())) {
        for (unsigned int i = m_group->getNumParents(); i > 0; --i)
            m_group->getParent(i - 1)->removeChild(m_group);
        tools->addChild(m_group);
    }
    if (isMoving())
        return;
    osg::Node* object = movableSelection();
    m_object = object;
    if (object)
        placeAround(*object);
    else
        m_frame->setNodeMask(0);
}

osg::Node* ObjectHandles::movableSelection() const
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    const SetOfNodes selected = model ? model->getSelectedNodes() : SetOfNodes();
    if (selected.size() != 1)
        return nullptr;
    osg::Node* node = selected.begin()->get();
    osg::ref_ptr<osg::Group> scene = model->getScene();
    if (!node || node == scene.get() || pathThrough(*node, scene.get()).empty())
        return nullptr;
    // The layout groups under SCENE stay where they are.
    const std::string& name = node->getName();
    if (node->getNumParents() && node->getParent(0) == scene.get() &&
        (name == model->getBeaconsName() || name == model->getCamerasName()))
        return nullptr;
    return node;
}

void ObjectHandles::placeAround(osg::Node& object)
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    osg::NodePath path = pathThrough(object, model->getScene().get());
    const osg::BoundingSphere bound = object.getBound();
    if (path.empty() || !bound.valid()) {
        m_frame->setNodeMask(0);
        return;
    }
    path.pop_back();
    const osg::Matrixd toWorld = osg::computeLocalToWorld(path);
    const osg::Vec3d centre = osg::Vec3d(bound.center()) * toWorld;
    const double radius = std::max(1e-6, bound.radius() * largestScale(toWorld));
    m_frame->setMatrix(osg::Matrixd::scale(osg::Vec3d(1, 1, 1) * radius * sizeOverRadius) *
                       osg::Matrixd::translate(centre));
    m_frame->setNodeMask(~0u);
}

bool ObjectHandles::beginMove()
{
    cancelMove();
    std::shared_ptr<IOSGModel> model = m_model.lock();
    osg::ref_ptr<osg::Node> object;
    if (!model || !isShown() || !m_object.lock(object))
        return false;
    osg::NodePath path = pathThrough(*object, model->getScene().get());
    if (path.size() < 2)
        return false;
    path.pop_back();
    osg::Group* parent = path.back()->asGroup();

    Move move;
    if (auto* own = dynamic_cast<osg::MatrixTransform*>(object.get())) {
        move.transform = own;
    } else if (auto* above = dynamic_cast<osg::MatrixTransform*>(parent);
               above && above != model->getScene().get() && above->getNumChildren() == 1) {
        move.transform = above;
        path.pop_back();
    } else {
        // Shown at once for the drag; the command puts it in for good.
        move.transform = new osg::MatrixTransform;
        move.node = object;
        move.parent = parent;
        move.transform->addChild(object.get());
        parent->replaceChild(object.get(), move.transform.get());
    }
    move.start = move.transform->getMatrix();
    move.parentToWorld = osg::computeLocalToWorld(path);
    move.centre = m_frame->getMatrix().getTrans();
    m_grabFrame->setMatrix(m_frame->getMatrix());
    m_move = move;
    return true;
}

void ObjectHandles::follow(const OSGU::IConstrainedInteraction& dragged)
{
    if (!isMoving())
        return;
    osg::Matrixd worldChange;
    if (dynamic_cast<const OSGU::ConstrainedRotateInteraction*>(&dragged)) {
        m_move.rotating = true;
        m_move.rotation = m_move.rotation * dragged.getRotation();
        worldChange = osg::Matrixd::translate(-m_move.centre) *
                      osg::Matrixd::rotate(m_move.rotation) *
                      osg::Matrixd::translate(m_move.centre);
    } else {
        m_move.rotating = false;
        worldChange = osg::Matrixd::translate(dragged.getTranslation());
        m_frame->setMatrix(m_grabFrame->getMatrix() * worldChange);
    }
    m_move.transform->setMatrix(m_move.start * m_move.parentToWorld * worldChange *
                                osg::Matrixd::inverse(m_move.parentToWorld));
}

void ObjectHandles::finishMove()
{
    if (!isMoving())
        return;
    const Move move = m_move;
    const osg::Matrixd end = move.transform->getMatrix();
    undoPreview();
    std::shared_ptr<IOSGModel> model = m_model.lock();
    if (!model || end == move.start)
        return;
    auto command = std::make_unique<SetNodeTransform>(move.transform.get(), move.start, end,
                                                      move.rotating ? QObject::tr("Rotate Object")
                                                                    : QObject::tr("Move Object"));
    if (move.node)
        command->insertAbove(move.node.get(), move.parent.get());
    const CommandResult result = model->executeCommand(std::move(command));
    if (!result)
        ZEL_ERROR << "ObjectHandles::finishMove: The object cannot be moved: " << result.reason
                  << "\n";
}

void ObjectHandles::cancelMove()
{
    if (isMoving())
        undoPreview();
}

void ObjectHandles::undoPreview()
{
    m_move.transform->setMatrix(m_move.start);
    if (m_move.node && m_move.parent) {
        m_move.parent->replaceChild(m_move.transform.get(), m_move.node.get());
        m_move.transform->removeChild(m_move.node.get());
    }
    m_move = Move();
    sync();
}
