#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

class ICommand;
class QUndoStack;
namespace osg {
class Node;
}

// The model's undo stack with a memory budget. Commands go onto the stack inside entries of
// its own, so that the oldest can be taken off it (QUndoStack only ever drops the newest).
class UndoHistory
{
public:
    explicit UndoHistory(QUndoStack& stack);

    void push(std::unique_ptr<ICommand> command);

    // The bytes of scene data that only the history keeps alive (what is not in the graph
    // below root), per command from the oldest.
    std::vector<std::size_t> heldBytes(const osg::Node& root) const;

    // Drops the oldest commands until what the history alone keeps fits the budget; returns how
    // many went.
    int keepWithin(std::size_t budget, const osg::Node& root);

    // True while the stack is being rebuilt: its signals then tell of no change of the scene.
    bool isReplaying() const { return m_replaying; }

    static QString describe(std::size_t bytes);

private:
    QUndoStack& m_stack;
    bool m_replaying = false;
};
