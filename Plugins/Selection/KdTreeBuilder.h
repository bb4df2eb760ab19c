#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <osg/Geometry>
#include <osg/observer_ptr>
#include <set>
#include <thread>

// Builds the picking k-d trees of large meshes on a worker thread that runs only when nothing
// else wants the processor, so that a loaded scene is drawn first and the window never waits
// for a tree. A finished tree is attached on the GUI thread (where the scene is drawn and
// changed); until then a pick tests the mesh's triangles one by one and finds the same object.
class KdTreeBuilder
{
public:
    KdTreeBuilder();
    ~KdTreeBuilder();
    KdTreeBuilder(const KdTreeBuilder&) = delete;
    KdTreeBuilder& operator=(const KdTreeBuilder&) = delete;

    // Queues every large geometry below node that has no tree yet (ScenePicker's rule).
    void build(osg::Node& node);
    // Meshes queued or built whose tree is not attached yet.
    std::size_t pending() const { return m_pending.size(); }

private:
    void work();
    void attach(const osg::ref_ptr<osg::Geometry>& geometry, osg::Shape* tree);

    // Lives on the GUI thread: attachments are queued to it.
    QObject m_gui;
    std::set<const osg::Geometry*> m_pending;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<osg::ref_ptr<osg::Geometry>> m_queue;
    bool m_stop = false;
    std::thread m_worker;
};
