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

} // namespace

void InstallBackend(IBackend* backend)
{
    s_pBackend = backend ? backend : &s_silent;
}

IBackend& Backend()
{
    return *s_pBackend;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind, MessageOwner owner)
{
    s_pBackend->ShowMessage(text, caption, kind, owner);
}

CursorHandle SetWaitCursor()
{
    return s_pBackend->SetWaitCursor();
}

void RestoreCursor(CursorHandle cursor)
{
    s_pBackend->RestoreCursor(cursor);
}

void ShowError(const std::string& text, MessageOwner owner)
{
    ShowMessage(text, "Error", MessageKind::Exclamation, owner);
}

} // namespace platform
