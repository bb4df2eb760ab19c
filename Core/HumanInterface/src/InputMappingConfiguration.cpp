#include "HumanInterface/InputMappingConfiguration.h"

#include "HumanInterface/InputActionToInputEventMapping.h"
#include "HumanInterface/InputMappingConfigurationElement.h"
#include "ui_InputMapperConfigFrame.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <algorithm>

namespace HI::GUI {

namespace {
const char* const fileCaption = "InputMapper ConfigFile";
const char* const fileFilter = "*.xml *.imcf";
} // namespace

struct InputMappingConfiguration::Private
{
    explicit Private(InputActionToInputEventMapping& mapping_) : mapping(mapping_) {}

    InputActionToInputEventMapping& mapping;
    Ui_InputMapperConfigFrame ui;
};

InputMappingConfiguration::InputMappingConfiguration(InputActionToInputEventMapping& mapping,
                                                     QWidget* parent)
    : QFrame(parent), d(std::make_unique<Private>(mapping))
{
    d->ui.setupUi(this);
    int row = 0;
    for (ActionMapping& record : mapping.mappings()) {
        auto* element =
            new InputMappingConfigurationElement(d->ui.scrollAreaWidgetContents, record);
        d->ui.verticalLayout->insertWidget(row++, element);
        connect(this, &InputMappingConfiguration::contentChanged, element,
                &InputMappingConfigurationElement::updateGUI);
    }

    // One column of names, as wide as the longest one.
    const QList<QLabel*> labels = findChildren<QLabel*>("lblConfigElement");
    int widest = 0;
    for (const QLabel* label : labels)
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(label->text()));
    for (QLabel* label : labels)
        label->setFixedWidth(widest + 10);

    const QRegularExpression fieldName("lineEditConfigElement(Primary|Secondary)Binding");
    for (QLineEdit* field : findChildren<QLineEdit*>(fieldName))
        field->setCursorPosition(0);

    connect(d->ui.pbLoad, &QPushButton::clicked, this,
            &InputMappingConfiguration::loadBindingsFromFile);
    connect(d->ui.pbSave, &QPushButton::clicked, this,
            &InputMappingConfiguration::saveBindingsToFile);
}

InputMappingConfiguration::~InputMappingConfiguration() = default;

void InputMappingConfiguration::saveBindingsToFile()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, fileCaption, QCoreApplication::applicationDirPath(), fileFilter);
    if (!fileName.isEmpty())
        d->mapping.saveBindings(fileName.toStdString());
}

void InputMappingConfiguration::loadBindingsFromFile()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, fileCaption, QCoreApplication::applicationDirPath(), fileFilter);
    if (fileName.isEmpty())
        return;
    d->mapping.loadBindings(fileName.toStdString());
    emit contentChanged();
}

} // namespace HI::GUI
