#include "KdTreeBuilder.h"

#include "ScenePicker.h"

#include <osg/KdTree>
#include <pthread.h>
#include <sched.h>

KdTreeBuilder::KdTreeBuilder() : m_worker([this] { work(); }) {}

KdTreeBuilder::~KdTreeBuilder()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

void KdTreeBuilder::build(osg::Node& node)
{
    std::vector<osg::ref_ptr<osg::Geometry>> found = ScenePicker::meshesWithoutKdTrees(node);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const osg::ref_ptr<osg::Geometry>& geometry : found)
            if (m_pending.insert(geometry.get()).second)
                m_queue.push_back(geometry);
    }
    m_wake.notify_all();
}

void KdTreeBuilder::work()
{
#if defined(SCHED_IDLE)
    // Only when the processor is otherwise idle: the first frame of the scene comes first.
    const sched_param idle{0};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
#endif
    for (;;) {
        osg::ref_ptr<osg::Geometry> geometry;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            geometry = m_queue.front();
            m_queue.pop_front();
        }
        // Reads the mesh only; the GUI thread draws it meanwhile, which reads it too.
        osg::ref_ptr<osg::Shape> tree = ScenePicker::makeKdTree(*geometry);
        QMetaObject::invokeMethod(
            &m_gui, [this, geometry, tree] { attach(geometry, tree.get()); }, Qt::QueuedConnection);
    }
}

void KdTreeBuilder::attach(const osg::ref_ptr<osg::Geometry>& geometry, osg::Shape* tree)
{
    m_pending.erase(geometry.get());
    // A shape given since (by a plug-in, or a tree of its own) stays.
    if (tree && !geometry->getShape())
        geometry->setShape(tree);
}
