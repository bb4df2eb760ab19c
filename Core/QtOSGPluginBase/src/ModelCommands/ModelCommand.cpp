#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelEvent.h"

namespace MODCMD {

ModelCommand::ModelCommand()
{
    setText(tr("Unknown"));
}

ModelCommand::~ModelCommand() = default;

void ModelCommand::undo()
{
    applyUndoChanges();
    sendUndoEvents();
}

void ModelCommand::redo()
{
    applyRedoChanges();
    sendRedoEvents();
}

bool ModelCommand::isUndoable() const
{
    return false;
}

bool ModelCommand::setModel(const std::shared_ptr<IOSGModel>& model)
{
    if (!model) {
        ZEL_WARN << "ModelCommand::setModel: Invalid Model\n";
        return false;
    }
    m_model = model;
    return true;
}

std::shared_ptr<IOSGModel> ModelCommand::getModel() const
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    if (!model)
        ZEL_WARN << "ModelCommand::getModel: Invalid Model\n";
    return model;
}

bool ModelCommand::sendRedoEvents()
{
    return sendChangeEvents(true);
}

bool ModelCommand::sendUndoEvents()
{
    return sendChangeEvents(true);
}

bool ModelCommand::sendChangeEvents(bool withCommandDone)
{
    std::shared_ptr<IOSGModel> model = getModel();
    if (!model || !model->getEventSystem())
        return false;
    ModelEvent changed(ModelEvent::Changed, 0);
    model->sendEvent(changed);
    if (withCommandDone) {
        ModelEvent done(ModelEvent::CommandDone);
        model->sendEvent(done);
    }
    return true;
}

} // namespace MODCMD
