#pragma once

#include "ZelApi.h"

#include <QFrame>
#include <memory>

namespace HI {

class InputActionToInputEventMapping;

namespace GUI {

// Shows and edits the bindings of one input mapper, one row per action, with buttons to load
// and save bindings files. Changes go straight into the mapper's list, which must outlive it.
class ZEL_API InputMappingConfiguration : public QFrame
{
    Q_OBJECT

public:
    explicit InputMappingConfiguration(InputActionToInputEventMapping& mapping,
                                       QWidget* parent = nullptr);
    ~InputMappingConfiguration() override;

signals:
    // The list changed behind the rows' back (a file was loaded): they show it afresh.
    void contentChanged();

public slots:
    void saveBindingsToFile();
    void loadBindingsFromFile();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace GUI
} // namespace HI
