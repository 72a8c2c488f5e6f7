#include "platform/notifier.h"

namespace platform
{
namespace
{

class CSilentNotifier final : public INotifier
{
public:
    void ShowMessage(const std::string&, MessageKind, MessageOwner) override {}
    CursorHandle SetWaitCursor() override { return 0; }
    void RestoreCursor(CursorHandle) override {}
};

CSilentNotifier s_silent;
INotifier* s_pNotifier = &s_silent;

} // namespace

void InstallNotifier(INotifier* notifier)
{
    s_pNotifier = notifier ? notifier : &s_silent;
}

INotifier& Notifier()
{
    return *s_pNotifier;
}

void ShowError(const std::string& text, MessageOwner owner)
{
    Notifier().ShowMessage(text, MessageKind::Error, owner);
}

} // namespace platform
