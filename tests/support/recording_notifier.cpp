#include "recording_notifier.h"

namespace
{
constexpr platform::CursorHandle kWaitCursor = 0xBEEF;
}

RecordingNotifier::RecordingNotifier() : m_pPrevious(&platform::Notifier())
{
    platform::InstallNotifier(this);
}

RecordingNotifier::~RecordingNotifier()
{
    platform::InstallNotifier(m_pPrevious);
}

void RecordingNotifier::ShowMessage(const std::string& text, platform::MessageKind kind,
                                    platform::MessageOwner owner)
{
    m_messages.push_back({text, kind, owner});
    m_events.push_back(std::string(platform::Caption(kind)) + ": " + text);
}

platform::CursorHandle RecordingNotifier::SetWaitCursor()
{
    const platform::CursorHandle previous = m_current;
    m_current = kWaitCursor;
    m_events.push_back("wait");
    return previous;
}

void RecordingNotifier::RestoreCursor(platform::CursorHandle cursor)
{
    m_current = cursor;
    m_events.push_back("restore");
}
