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
    if (!model)
        return;
    const std::string extension = fileExtension(m_path);
    for (NodeWriter* writer : model->getWriters()) {
        if (!writer->isExtensionSupported(extension))
            continue;
        ZEL_INFO << "Found writer plugIn for extension(s) " << writer->getFilterString() << "\n";
        writer->write(model->getFileRoot(), m_path);
        return;
    }
}

} // namespace MODCMD
