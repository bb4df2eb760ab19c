#pragma once

#include "ApplicationBase/QtApplication.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class DropEventHelper;
class SceneLoadQueue;
class IOSGModel;
class IOSGViewer;
class OSGModel;
class QAction;
class QTimer;
class QDropEvent;
class Ui_ZelvistaClass;

// The main window: menus, tool bar, console, the default viewer on the default model, the
// plug-ins' docks, scene file actions, drops, layouts and display modes.
class Zelvista : public QtApplication
{
    Q_OBJECT

public:
    Zelvista(int argc, char** argv, QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~Zelvista() override;

    // Starts reading the file; the scene appears when it has been read (loads run in turn).
    void loadFile(const std::string& path, bool newScene);
    // True while a file is read or waits to be.
    bool isLoading() const;
    void loadLayoutFiles(const QString& stateFile, const QString& geometryFile);
    void saveLayoutFiles(const QString& stateFile, const QString& geometryFile);

    const std::shared_ptr<IOSGModel>& getModel() const { return m_model; }
    IOSGViewer* getDefaultViewer() const { return m_defaultViewer; }
    const std::string& getLogFilePath() const { return m_logFilePath; }

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // Every load started has ended.
    void loadsFinished();

public slots:
    void load();
    void addFilesToSceneSlot();
    void save();
    void loadLayout();
    void saveLayout();
    void loadLayoutFromFile();
    void saveLayoutAsFile();
    void fullScreen(bool on);
    void renderWindowFullScreen(bool on);
    void sideBySideStereoLR(bool on);
    void hmdEnable(bool on);
    void hmdSettings(bool on);
    void clearUndoStackSlot();
    void loadInNewViewport();
    void onDropEvent(const QDropEvent* dropEvent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildToolBar();
    void hostDefaultViewer();
    void adoptStatusBar();
    QString askForSceneFile();
    QString askForSaveFile();
    // Reads the file on a worker thread and loads it into the model when read; the user is
    // told how it went.
    void startLoad(const std::shared_ptr<IOSGModel>& model, IOSGViewer* viewer,
                   const std::string& path, bool newScene);
    void showLoadProgress(const QString& path);
    void showLoadMessage();
    void hideLoadProgress();
    // Tells the user in the status bar what (%1 the file, %2 the reason) failed.
    void reportFailure(const QString& what, const std::string& path, const std::string& reason);

    std::unique_ptr<Ui_ZelvistaClass> ui;
    IOSGViewer* m_defaultViewer = nullptr;
    std::shared_ptr<IOSGModel> m_model;
    QString m_layoutFileName = "ZelvistaLayout.bin";
    QString m_geometryFileName = "ZelvistaGeometry.bin";
    std::string m_logFilePath;
    bool m_sceneLoaded = false;
    bool m_shown = false;
    std::unique_ptr<DropEventHelper> m_dropHelper;
    QString m_lastLayoutDir;
    QAction* m_loadInNewViewportAction = nullptr;
    std::vector<IOSGViewer*> m_viewers;
    std::vector<std::shared_ptr<OSGModel>> m_models;
    std::unique_ptr<SceneLoadQueue> m_loads;
    QAction* m_cancelLoadAction = nullptr;
    QTimer* m_loadTicker = nullptr;
    QElapsedTimer m_loadClock;
    QString m_loadName;
};
