#pragma once

#include "platform/notifier.h"

#include <string>
#include <vector>

// Keeps every message and cursor change in order. Installs itself while it
// lives.
class RecordingNotifier final : public platform::INotifier
{
public:
    struct Message
    {
        std::string text;
        platform::MessageKind kind = platform::MessageKind::Error;
        platform::MessageOwner owner = platform::MessageOwner::ActiveWindow;
    };

    RecordingNotifier();
    ~RecordingNotifier() override;

    void ShowMessage(const std::string& text, platform::MessageKind kind, platform::MessageOwner owner) override;
    platform::CursorHandle SetWaitCursor() override;
    void RestoreCursor(platform::CursorHandle cursor) override;

    // The sequence of events, one line each: "wait", "restore", or
    // "<caption>: <text>" for a message.
    std::vector<std::string> m_events;
    std::vector<Message> m_messages;

private:
    platform::CursorHandle m_current = 1; // the arrow
    platform::INotifier* m_pPrevious;
};
