#pragma once

#include "ZelApi.h"

#include <QObject>
#include <QUndoCommand>

// An undoable change of a model. QObject comes first because moc requires it.
class ZEL_API ICommand : public QObject, public QUndoCommand
{
    Q_OBJECT

public:
    ICommand();
    ~ICommand() override;

    // False for commands that cannot be taken back: the model then runs them once, off the stack.
    virtual bool isUndoable() const = 0;
};
