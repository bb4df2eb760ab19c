#pragma once

#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include <string>

namespace MODCMD {

// Writes FILE_ROOT with the first writer that accepts the file's extension. Not undoable.
class ZEL_API SaveScene : public ModelCommand
{
    Q_OBJECT

public:
    explicit SaveScene(const std::string& path);
    ~SaveScene() override;

protected:
    void applyRedoChanges() override;
    void applyUndoChanges() override {}

private:
    std::string m_path;
};

} // namespace MODCMD
