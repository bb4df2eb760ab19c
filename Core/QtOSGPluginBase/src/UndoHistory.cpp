#include "UndoHistory.h"

#include "QtOSGPluginBase/ICommand.h"
#include "QtOSGPluginBase/ModelCommands/IModelCommand.h"

#include <QUndoStack>
#include <osg/Geometry>
#include <osg/KdTree>
#include <osg/NodeVisitor>
#include <unordered_set>

namespace {

// One command on the stack. While the history rebuilds the stack, entries neither redo nor
// undo: their commands are in the state they are in already.
class HistoryEntry : public QUndoCommand
{
public:
    HistoryEntry(std::shared_ptr<ICommand> command, const bool& replaying)
        : m_command(std::move(command)), m_replaying(replaying)
    {
        setText(m_command->text());
    }

    void redo() override
    {
        if (m_replaying)
            return;
        m_command->redo();
        setObsolete(m_command->isObsolete());
    }
    void undo() override
    {
        if (!m_replaying)
            m_command->undo();
    }
    int id() const override { return m_command->id(); }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* entry = dynamic_cast<const HistoryEntry*>(other);
        return entry && m_command->mergeWith(entry->m_command.get());
    }

    const std::shared_ptr<ICommand>& command() const { return m_command; }

private:
    std::shared_ptr<ICommand> m_command;
    const bool& m_replaying;
};

// Sums the scene data below the nodes it visits, each array, index list and picking tree once
// however often it is shared, and each node once however many paths lead to it.
class DataVisitor : public osg::NodeVisitor
{
public:
    explicit DataVisitor(std::unordered_set<const osg::Referenced*>& counted)
        : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), m_counted(counted)
    {
        setNodeMaskOverride(~0u);
    }

    void apply(osg::Node& node) override
    {
        if (!m_nodes.insert(&node).second)
            return;
        if (const osg::Geometry* geometry = node.asGeometry())
            count(*geometry);
        traverse(node);
    }

    std::size_t bytes = 0;

private:
    void add(const osg::Referenced* data, std::size_t size)
    {
        if (data && m_counted.insert(data).second)
            bytes += size;
    }

    void count(const osg::Geometry& geometry)
    {
        for (const osg::Array* array :
             {geometry.getVertexArray(), geometry.getNormalArray(), geometry.getColorArray(),
              geometry.getSecondaryColorArray(), geometry.getFogCoordArray()})
            if (array)
                add(array, array->getTotalDataSize());
        for (const auto& arrays :
             {geometry.getTexCoordArrayList(), geometry.getVertexAttribArrayList()})
            for (const osg::ref_ptr<osg::Array>& array : arrays)
                if (array)
                    add(array.get(), array->getTotalDataSize());
        for (const osg::ref_ptr<osg::PrimitiveSet>& primitives : geometry.getPrimitiveSetList())
            if (const osg::DrawElements* elements =
                    primitives ? primitives->getDrawElements() : nullptr)
                add(elements, elements->getTotalDataSize());
        if (const auto* tree = dynamic_cast<const osg::KdTree*>(geometry.getShape()))
            add(tree, tree->getNodes().size() * sizeof(osg::KdTree::KdNode) +
                          tree->getVertexIndices().size() * sizeof(GLuint));
    }

    std::unordered_set<const osg::Referenced*>& m_counted;
    std::unordered_set<const osg::Node*> m_nodes;
};

const HistoryEntry* entryAt(const QUndoStack& stack, int index)
{
    return dynamic_cast<const HistoryEntry*>(stack.command(index));
}

} // namespace

UndoHistory::UndoHistory(QUndoStack& stack) : m_stack(stack) {}

void UndoHistory::push(std::unique_ptr<ICommand> command)
{
    m_stack.push(new HistoryEntry(std::shared_ptr<ICommand>(std::move(command)), m_replaying));
}

std::vector<std::size_t> UndoHistory::heldBytes(const osg::Node& root) const
{
    std::unordered_set<const osg::Referenced*> counted;
    DataVisitor inGraph(counted);
    const_cast<osg::Node&>(root).accept(inGraph);

    // From the newest: memory shared by several commands counts for the newest.
    std::vector<std::size_t> bytes(std::size_t(m_stack.count()), 0);
    for (int i = m_stack.count() - 1; i >= 0; --i) {
        const HistoryEntry* entry = entryAt(m_stack, i);
        const auto* command =
            entry ? dynamic_cast<const MODCMD::IModelCommand*>(entry->command().get()) : nullptr;
        if (!command)
            continue;
        DataVisitor held(counted);
        for (const osg::ref_ptr<osg::Node>& node : command->heldNodes())
            if (node)
                node->accept(held);
        bytes[std::size_t(i)] = held.bytes;
    }
    return bytes;
}

int UndoHistory::keepWithin(std::size_t budget, const osg::Node& root)
{
    const std::vector<std::size_t> bytes = heldBytes(root);
    // Keep the newest commands whose memory fits; the newest always stays.
    std::size_t kept = 0;
    int first = int(bytes.size());
    while (first > 0) {
        const std::size_t next = bytes[std::size_t(first - 1)];
        if (first < int(bytes.size()) && kept + next > budget)
            break;
        kept += next;
        --first;
    }
    if (first == 0 || first > m_stack.index())
        return 0;
    std::vector<std::shared_ptr<ICommand>> commands;
    for (int i = 0; i < m_stack.count(); ++i) {
        const HistoryEntry* entry = entryAt(m_stack, i);
        if (!entry)
            return 0; // pushed by someone else: the stack cannot be rebuilt
        if (i >= first)
            commands.push_back(entry->command());
    }
    const int index = m_stack.index() - first;
    m_replaying = true;
    m_stack.clear();
    for (const std::shared_ptr<ICommand>& command : commands)
        m_stack.push(new HistoryEntry(command, m_replaying));
    m_stack.setIndex(index);
    m_replaying = false;
    return first;
}

QString UndoHistory::describe(std::size_t bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', 1) + " MB";
}
