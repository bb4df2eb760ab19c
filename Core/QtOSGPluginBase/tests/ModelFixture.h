#pragma once

#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventHandler.h"
#include "LogCapture.h"
#include "Logger/Log.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "QtOSGPluginBase/OSGModel.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Records the kinds of the model events it sees, and their senders.
class ModelEventRecorder : public EventHandler
{
public:
    explicit ModelEventRecorder(EventSystem* eventSystem)
        : EventHandler(eventSystem, "ModelEventRecorder", EventType::Model)
    {}

    bool handleEvent(Event& event) override
    {
        const auto& modelEvent = static_cast<ModelEvent&>(event);
        kinds.push_back(modelEvent.kind);
        senders.push_back(modelEvent.modelUuid);
        return false;
    }

    void clear()
    {
        kinds.clear();
        senders.clear();
    }

    std::vector<std::uint32_t> kinds;
    std::vector<Uuid> senders;
};

// Keeps the ERROR records apart as well.
class ErrorCapture : public LogCapture
{
public:
    ~ErrorCapture() override { detach(); }

    void handleMessage(const std::string& text, std::uint32_t level,
                       const std::string& fileName) override
    {
        if (level == Logger::Error)
            errors.push_back(text);
        LogCapture::handleMessage(text, level, fileName);
    }

    std::vector<std::string> errors;
};

// A kernel over the scene reader/writer test plug-ins and a model on its factory and events.
class ModelFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string plugins = std::string(ZELVISTA_TEST_PLUGIN_ROOT) + "/sceneio";
        const std::string data = m_dir.path().toStdString();
        m_kernel = std::make_unique<KernelAPI>(data, data, plugins, true);
        m_events = std::make_unique<ModelEventRecorder>(m_kernel->getEventSystem());
        m_model = makeModel();
        ASSERT_EQ(m_model->getReaders().size(), 1u);
        ASSERT_EQ(m_model->getWriters().size(), 1u);
    }

    std::shared_ptr<OSGModel> makeModel()
    {
        return std::make_shared<OSGModel>(m_kernel->getPluginFactory(), m_kernel->getEventSystem(),
                                          "default", Uuid{});
    }

    std::string path(const std::string& fileName) const
    {
        return m_dir.filePath(QString::fromStdString(fileName)).toStdString();
    }

    static osg::ref_ptr<osg::Group> group(const std::string& name)
    {
        osg::ref_ptr<osg::Group> node = new osg::Group;
        node->setName(name);
        return node;
    }

    // The names of a node's children, in order.
    static std::vector<std::string> childNames(const osg::Group* parent)
    {
        std::vector<std::string> names;
        for (unsigned int i = 0; i < parent->getNumChildren(); ++i)
            names.push_back(parent->getChild(i)->getName());
        return names;
    }

    ErrorCapture m_log;
    QTemporaryDir m_dir;
    std::unique_ptr<KernelAPI> m_kernel;
    std::unique_ptr<ModelEventRecorder> m_events;
    std::shared_ptr<OSGModel> m_model;
};
