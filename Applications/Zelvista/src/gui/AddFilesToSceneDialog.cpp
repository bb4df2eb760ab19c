#include "AddFilesToSceneDialog.h"

#include "ui_AddToSceneDialog.h"

AddFilesToSceneDialog::AddFilesToSceneDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui_AddToSceneDialog>())
{
    ui->setupUi(this);
}

AddFilesToSceneDialog::~AddFilesToSceneDialog() = default;

bool AddFilesToSceneDialog::createNewScene() const
{
    return ui->createNewSceneRadioButton->isChecked();
}
