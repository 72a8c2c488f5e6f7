#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform
{

// What a message is; it fixes the caption ("Error", "Warning", "Info") and
// the icon (exclamation mark for the first two, information for the last).
enum class MessageKind
{
    Error,
    Warning,
    Info,
};

const char* Caption(MessageKind kind);

enum class MessageOwner
{
    ActiveWindow, // owned by whatever window is active at the call
    None,         // no owner window
};

struct Message
{
    MessageKind kind = MessageKind::Error;
    std::string text;
    MessageOwner owner = MessageOwner::ActiveWindow;
};

// What a piece of work has to tell its user, in the order it found it. The
// reader, the writer and the job record their messages here rather than
// show them: whoever runs the work decides how they reach the user (a box,
// a console line, a report), and a listener, when given, hears each one
// the moment it is added, so that a box can come at its time in the run.
class CMessageLog
{
public:
    using Listener = std::function<void(const Message&)>;

    CMessageLog() = default;
    explicit CMessageLog(Listener listener) : m_listener(std::move(listener)) {}

    void Add(MessageKind kind, std::string text, MessageOwner owner = MessageOwner::ActiveWindow);
    void Error(std::string text, MessageOwner owner = MessageOwner::ActiveWindow)
    {
        Add(MessageKind::Error, std::move(text), owner);
    }
    void Warning(std::string text, MessageOwner owner = MessageOwner::ActiveWindow)
    {
        Add(MessageKind::Warning, std::move(text), owner);
    }
    void Info(std::string text) { Add(MessageKind::Info, std::move(text)); }

    const std::vector<Message>& Messages() const { return m_messages; }
    std::vector<Message> Take() { return std::exchange(m_messages, {}); }

private:
    std::vector<Message> m_messages;
    Listener m_listener;
};

} // namespace platform
