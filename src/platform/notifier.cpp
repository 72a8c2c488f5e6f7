#include "platform/notifier.h"

namespace platform
{
namespace
{

class SilentNotifier final : public INotifier
{
public:
    void ShowMessage(const std::string&, MessageKind, MessageOwner) override {}
    CursorHandle SetWaitCursor() override { return 0; }
    void RestoreCursor(CursorHandle) override {}
};

SilentNotifier s_silent;
INotifier* s_pNotifier = &s_silent;
// A thread's own notifier, which takes precedence there: the command line
// gives each conversion of a parallel batch one to collect its messages.
thread_local INotifier* t_pThreadNotifier = nullptr;

} // namespace

void InstallNotifier(INotifier* notifier)
{
    s_pNotifier = notifier ? notifier : &s_silent;
}

INotifier& Notifier()
{
    return t_pThreadNotifier ? *t_pThreadNotifier : *s_pNotifier;
}

ScopedThreadNotifier::ScopedThreadNotifier(INotifier& notifier) : m_pPrevious(t_pThreadNotifier)
{
    t_pThreadNotifier = &notifier;
}

ScopedThreadNotifier::~ScopedThreadNotifier()
{
    t_pThreadNotifier = m_pPrevious;
}

void ShowError(const std::string& text, MessageOwner owner)
{
    Notifier().ShowMessage(text, MessageKind::Error, owner);
}

void ShowWarning(const std::string& text, MessageOwner owner)
{
    Notifier().ShowMessage(text, MessageKind::Warning, owner);
}

void ShowInfo(const std::string& text, MessageOwner owner)
{
    Notifier().ShowMessage(text, MessageKind::Info, owner);
}

} // namespace platform
