#pragma once

#include "QtOSGPluginBase/FileResult.h"
#include "QtOSGPluginBase/ICommand.h"
#include "QtOSGPluginBase/ReadCancellation.h"

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <osg/Node>
#include <string>
#include <thread>

class IOSGModel;

// Reads scene files one after the other on a worker thread, so that the window is shown and
// stays responsive while a large file is read; each read scene is then loaded into its model
// with MODCMD::LoadScene on the GUI thread, so undo, selection and the scene tree see it as
// any other command. The read under way can be cancelled; the queue waits for its worker when
// it goes.
class SceneLoadQueue : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        std::shared_ptr<IOSGModel> model;
        std::string path;
        bool newScene = false;
        // Called on the GUI thread when the load ended: loaded, failed, or cancelled.
        std::function<void(const CommandResult&, bool cancelled)> done;
    };

    explicit SceneLoadQueue(QObject* parent = nullptr);
    ~SceneLoadQueue() override;

    void enqueue(Request request);
    // Cancels the read under way and drops the waiting ones; true if there was one.
    bool cancel();
    bool isBusy() const { return m_running; }
    const std::string& currentPath() const { return m_current.path; }

signals:
    void readStarted(const QString& path);
    void idle();

private:
    void startNext();
    void finishRead(osg::ref_ptr<osg::Node> node, const FileResult& result);
    void join();

    std::deque<Request> m_waiting;
    Request m_current;
    bool m_running = false;
    ReadCancellation::Flag m_cancel;
    std::thread m_worker;
};
