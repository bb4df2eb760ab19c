#pragma once

#include <QDialog>
#include <memory>

class Ui_AddToSceneDialog;

// Asks how dropped files join a scene that is already shown.
class AddFilesToSceneDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AddFilesToSceneDialog(QWidget* parent = nullptr);
    ~AddFilesToSceneDialog() override;

    bool createNewScene() const;

private:
    std::unique_ptr<Ui_AddToSceneDialog> ui;
};
