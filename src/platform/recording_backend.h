#pragma once

#include "platform/notifier.h"

#include <string>
#include <vector>

namespace platform
{

// Keeps every message and cursor change in order, for tests and for callers
// that want to look at what a run reported. Installs itself while it lives.
class RecordingBackend final : public IBackend
{
public:
    struct Message
    {
        std::string text;
        std::string caption;
        MessageKind kind = MessageKind::Exclamation;
        MessageOwner owner = MessageOwner::ActiveWindow;
    };

    RecordingBackend();
    ~RecordingBackend() override;

    void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageOwner owner) override;
    CursorHandle SetWaitCursor() override;
    void RestoreCursor(CursorHandle cursor) override;

    // The sequence of events, one line each: "wait", "restore", or
    // "<caption>: <text>" for a message.
    std::vector<std::string> m_events;
    std::vector<Message> m_messages;

private:
    CursorHandle m_current = 1; // the arrow
    IBackend* m_pPrevious;
};

} // namespace platform
