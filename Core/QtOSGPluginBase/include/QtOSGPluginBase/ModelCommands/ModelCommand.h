#pragma once

#include "QtOSGPluginBase/ModelCommands/IModelCommand.h"

namespace MODCMD {

// Runs its changes and then tells the model's event system (kind 0, then kind 2).
class ZEL_API ModelCommand : public IModelCommand
{
    Q_OBJECT

public:
    ModelCommand();
    ~ModelCommand() override;

    void undo() override;
    void redo() override;
    bool isUndoable() const override;
    bool setModel(const std::shared_ptr<IOSGModel>& model) override;
    std::shared_ptr<IOSGModel> getModel() const override;

protected:
    virtual void applyRedoChanges() = 0;
    virtual bool sendRedoEvents();
    virtual void applyUndoChanges() = 0;
    virtual bool sendUndoEvents();

    // Sends kind 0 (value 0) and, if withCommandDone, kind 2; false without model or event system.
    bool sendChangeEvents(bool withCommandDone);

private:
    std::weak_ptr<IOSGModel> m_model;
};

} // namespace MODCMD
