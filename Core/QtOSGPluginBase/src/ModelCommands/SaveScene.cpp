#include "QtOSGPluginBase/ModelCommands/SaveScene.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/IOSGModel.h"

namespace MODCMD {

SaveScene::SaveScene(const std::string& path) : m_path(path)
{
    setText(tr("Save Scene"));
}

SaveScene::~SaveScene() = default;

void SaveScene::applyRedoChanges()
{
    std::shared_ptr<IOSGModel> model = getModel();
    if (!model) {
        fail("the scene model is gone");
        return;
    }
    const std::string extension = fileExtension(m_path);
    for (NodeWriter* writer : model->getWriters()) {
        if (!writer->isExtensionSupported(extension))
            continue;
        ZEL_INFO << "Found writer plugIn for extension(s) " << writer->getFilterString() << "\n";
        const FileResult result = writer->writeFile(model->getFileRoot(), m_path);
        if (!result.ok())
            fail(result.reason);
        return;
    }
    fail(extension.empty() ? "the file name has no extension, so its format is unknown"
                           : "no writer handles files of type \"." + extension + "\"");
    ZEL_ERROR << "SaveScene::applyRedoChanges: Cannot write " << m_path << ": " << failureReason()
              << "\n";
}

} // namespace MODCMD
