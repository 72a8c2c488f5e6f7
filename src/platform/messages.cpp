#include "platform/messages.h"

namespace platform
{

const char* Caption(MessageKind kind)
{
    switch (kind)
    {
    case MessageKind::Error:
        return "Error";
    case MessageKind::Warning:
        return "Warning";
    default:
        return "Info";
    }
}

void CMessageLog::Add(MessageKind kind, std::string text, MessageOwner owner)
{
    m_messages.push_back(Message{kind, std::move(text), owner});
    if (m_listener)
        m_listener(m_messages.back());
}

} // namespace platform
