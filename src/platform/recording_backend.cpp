#include "platform/recording_backend.h"

namespace platform
{

namespace
{
constexpr CursorHandle kWaitCursor = 0xBEEF;
}

RecordingBackend::RecordingBackend() : m_pPrevious(&Backend())
{
    InstallBackend(this);
}

RecordingBackend::~RecordingBackend()
{
    InstallBackend(m_pPrevious);
}

void RecordingBackend::ShowMessage(const std::string& text, const std::string& caption, MessageKind kind,
                                   MessageOwner owner)
{
    m_messages.push_back({text, caption, kind, owner});
    m_events.push_back(caption + ": " + text);
}

CursorHandle RecordingBackend::SetWaitCursor()
{
    const CursorHandle previous = m_current;
    m_current = kWaitCursor;
    m_events.push_back("wait");
    return previous;
}

void RecordingBackend::RestoreCursor(CursorHandle cursor)
{
    m_current = cursor;
    m_events.push_back("restore");
}

} // namespace platform
