#include "SceneLoadQueue.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelCommands/LoadScene.h"

#include <QFile>
#include <utility>

SceneLoadQueue::SceneLoadQueue(QObject* parent) : QObject(parent) {}

SceneLoadQueue::~SceneLoadQueue()
{
    m_waiting.clear();
    if (m_cancel)
        m_cancel->store(true);
    join();
}

void SceneLoadQueue::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

void SceneLoadQueue::enqueue(Request request)
{
    m_waiting.push_back(std::move(request));
    if (!m_running)
        startNext();
}

bool SceneLoadQueue::cancel()
{
    m_waiting.clear();
    if (!m_running)
        return false;
    m_cancel->store(true);
    return true;
}

void SceneLoadQueue::startNext()
{
    join();
    if (m_waiting.empty()) {
        m_running = false;
        emit idle();
        return;
    }
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_running = true;
    m_cancel = ReadCancellation::makeFlag();
    emit readStarted(QFile::decodeName(m_current.path.c_str()));
    // The readers live as long as the kernel, which outlives this queue.
    std::list<NodeReader*> readers;
    if (m_current.model)
        readers = m_current.model->getReaders();
    m_worker = std::thread([this, readers, path = m_current.path, cancel = m_cancel] {
        ReadCancellation::Scope scope(cancel);
        FileResult result;
        osg::ref_ptr<osg::Node> node = IOSGModel::readNode(readers, path, result);
        // The queue joins this thread before it goes, so it is still there to take the result.
        QMetaObject::invokeMethod(
            this, [this, node, result] { finishRead(node, result); }, Qt::QueuedConnection);
    });
}

void SceneLoadQueue::finishRead(osg::ref_ptr<osg::Node> node, const FileResult& result)
{
    join();
    Request request = std::move(m_current);
    m_current = {};
    CommandResult outcome = CommandResult::failed(result.reason);
    const bool cancelled = m_cancel->load();
    if (cancelled) {
        ZEL_INFO << "SceneLoadQueue: Loading " << request.path << " was cancelled.\n";
        outcome = CommandResult::failed("the load was cancelled");
    } else if (node && request.model) {
        outcome = request.model->executeCommand(
            std::make_unique<MODCMD::LoadScene>(request.path, request.newScene, node));
    }
    if (request.done)
        request.done(outcome, cancelled);
    startNext();
}
