#pragma once

#include "ZelApi.h"

#include <QObject>
#include <QUndoCommand>
#include <string>

// An undoable change of a model. QObject comes first because moc requires it.
class ZEL_API ICommand : public QObject, public QUndoCommand
{
    Q_OBJECT

public:
    ICommand();
    ~ICommand() override;

    // False for commands that cannot be taken back: the model then runs them once, off the stack.
    virtual bool isUndoable() const = 0;

    // Work that may fail, done before the command changes anything (reading a file, say). A
    // command whose preparation fails is dropped: the model and its history stay as they were.
    virtual bool prepare() { return true; }

    bool failed() const { return !m_failure.empty(); }
    // Why the command failed, in words the user can act on; empty while it has not.
    const std::string& failureReason() const { return m_failure; }

protected:
    // Records why the command failed; returns false for the caller to pass on.
    bool fail(std::string reason);

private:
    std::string m_failure;
};

// What came of executing a command: done, or why not.
struct ZEL_API CommandResult
{
    static CommandResult done() { return {}; }
    static CommandResult failed(std::string reason) { return {false, std::move(reason)}; }

    explicit operator bool() const { return ok; }

    bool ok = true;
    std::string reason;
};
