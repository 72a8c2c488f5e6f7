#include "platform/notifier.h"

namespace platform
{
namespace
{

class SilentBackend final : public IBackend
{
public:
    void ShowMessage(const std::string&, const std::string&, MessageKind, MessageOwner) override {}
    CursorHandle SetWaitCursor() override { return 0; }
    void RestoreCursor(CursorHandle) override {}
};

SilentBackend s_silent;
IBackend* s_pBackend = &s_silent;
// A thread's own backend, which takes precedence there: the command line
// gives each conversion of a parallel batch one to collect its messages.
thread_local IBackend* t_pThreadBackend = nullptr;

IBackend& Current()
{
    return t_pThreadBackend ? *t_pThreadBackend : *s_pBackend;
}

} // namespace

void InstallBackend(IBackend* backend)
{
    s_pBackend = backend ? backend : &s_silent;
}

IBackend& Backend()
{
    return Current();
}

ScopedThreadBackend::ScopedThreadBackend(IBackend& backend) : m_pPrevious(t_pThreadBackend)
{
    t_pThreadBackend = &backend;
}

ScopedThreadBackend::~ScopedThreadBackend()
{
    t_pThreadBackend = m_pPrevious;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind, MessageOwner owner)
{
    Current().ShowMessage(text, caption, kind, owner);
}

CursorHandle SetWaitCursor()
{
    return Current().SetWaitCursor();
}

void RestoreCursor(CursorHandle cursor)
{
    Current().RestoreCursor(cursor);
}

void ShowError(const std::string& text, MessageOwner owner)
{
    ShowMessage(text, "Error", MessageKind::Exclamation, owner);
}

} // namespace platform
