#pragma once

#include "platform/notifier.h"

#include <iosfwd>

namespace platform
{

// Messages for a terminal: "Error: ..." and "Warning: ..." on the error
// stream, "Info: ..." on the output stream, one line each, with nobody to
// wait for. Quiet keeps the errors only. The wait cursor means nothing here.
class ConsoleNotifier final : public INotifier
{
public:
    ConsoleNotifier(std::ostream& out, std::ostream& err, bool bQuiet);

    void ShowMessage(const std::string& text, MessageKind kind, MessageOwner owner) override;
    CursorHandle SetWaitCursor() override { return 0; }
    void RestoreCursor(CursorHandle) override {}

private:
    std::ostream& m_out;
    std::ostream& m_err;
    const bool m_bQuiet;
};

} // namespace platform
