#pragma once

#include "pipeline/run_report.h"
#include "platform/notifier.h"

#include <functional>
#include <new>
#include <string>
#include <vector>

// Keeps every message and cursor change in order; installed while it lives.
class RecordingNotifier final : public platform::INotifier
{
public:
    struct Message
    {
        std::string text;
        platform::MessageKind kind;
        platform::MessageOwner owner;
    };

    RecordingNotifier() : m_pPrevious(&platform::Notifier()) { platform::InstallNotifier(this); }
    ~RecordingNotifier() override { platform::InstallNotifier(m_pPrevious); }

    void ShowMessage(const std::string& text, platform::MessageKind kind,
                     platform::MessageOwner owner) override
    {
        if (m_pfnThrowOn && m_pfnThrowOn(kind))
            throw std::bad_alloc(); // as if showing the message ran out of memory
        m_messages.push_back({text, kind, owner});
        m_events.push_back(std::string(platform::Caption(kind)) + ": " + text);
        if (m_onMessage)
            m_onMessage(); // what the user does while the box is up
    }
    platform::CursorHandle SetWaitCursor() override
    {
        m_events.push_back("wait");
        return 1; // the arrow
    }
    void RestoreCursor(platform::CursorHandle) override { m_events.push_back("restore"); }

    // One line each: "wait", "restore", or "<caption>: <text>".
    std::vector<std::string> m_events;
    std::vector<Message> m_messages;
    bool (*m_pfnThrowOn)(platform::MessageKind) = nullptr;
    std::function<void()> m_onMessage;

private:
    platform::INotifier* m_pPrevious;
};

// A message log that shows each message through the installed notifier, as
// a front end would: a test's RecordingNotifier sees what the code logs.
inline platform::CMessageLog NotifierLog()
{
    return platform::CMessageLog([](const platform::Message& message) {
        platform::Notifier().ShowMessage(message.text, message.kind, message.owner);
    });
}

// One such log for the whole test program, for calls that take a log.
inline platform::CMessageLog& TestLog()
{
    thread_local platform::CMessageLog t_log = NotifierLog();
    return t_log;
}

// A run's host that does the same, and shows the busy cursor.
class NotifierHost final : public IRunHost
{
public:
    void OnMessage(const platform::Message& message) override
    {
        platform::Notifier().ShowMessage(message.text, message.kind, message.owner);
    }
    void OnBusy(bool bBusy) override
    {
        if (bBusy)
            m_previous = platform::Notifier().SetWaitCursor();
        else
            platform::Notifier().RestoreCursor(m_previous);
    }

private:
    platform::CursorHandle m_previous = 0;
};
