#pragma once

#include "HumanInterface/IActionHandler.h"

#include <string>
#include <vector>

// Journals every call as "<call>:<action ID>@<x>,<y>" and answers with the configured results.
class RecordingActionHandler : public HI::IActionHandler
{
public:
    explicit RecordingActionHandler(std::string name = "Recorder") : m_name(std::move(name)) {}

    std::string getActionHandlerName() const override { return m_name; }
    bool triggerAction(int id, int x, int y, QEvent* event) override
    {
        lastEvent = event;
        return note("trigger", id, x, y);
    }
    bool beginAction(int id, int x, int y, QEvent*) override { return note("begin", id, x, y); }
    bool updateAction(int id, int x, int y, QEvent*) override { return note("update", id, x, y); }
    bool endAction(int id, int x, int y, QEvent*) override
    {
        note("end", id, x, y);
        return acceptEnd;
    }

    std::vector<std::string> calls;
    QEvent* lastEvent = nullptr;
    bool acceptEnd = true;

private:
    bool note(const char* call, int id, int x, int y)
    {
        calls.push_back(std::string(call) + ":" + std::to_string(id) + "@" + std::to_string(x) +
                        "," + std::to_string(y));
        return true;
    }

    std::string m_name;
};
