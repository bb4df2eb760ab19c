#pragma once

#include "QtOSGPluginBase/ICommand.h"

#include <memory>
#include <osg/Node>
#include <osg/ref_ptr>
#include <vector>

class IOSGModel;

namespace MODCMD {

using NodeList = std::vector<osg::ref_ptr<osg::Node>>;

// A command on a scene model, which it reaches through a weak reference.
class ZEL_API IModelCommand : public ICommand
{
    Q_OBJECT

public:
    ~IModelCommand() override;

    virtual bool setModel(const std::shared_ptr<IOSGModel>& model) = 0;
    virtual std::shared_ptr<IOSGModel> getModel() const = 0;

    // The nodes the command keeps for undo or redo; what of them is not in the scene is the
    // memory the undo history costs.
    virtual NodeList heldNodes() const { return {}; }
};

} // namespace MODCMD
