#include "platform/console_notifier.h"

#include <ostream>

namespace platform
{
namespace
{

// Folds a message box text onto one line: the line breaks and the blanks
// around them become a single space.
std::string OneLine(const std::string& text)
{
    std::string line;
    line.reserve(text.size());
    bool bPendingBreak = false;
    for (const char c : text)
    {
        if (c == '\n' || c == '\r')
        {
            bPendingBreak = true;
            continue;
        }
        if (bPendingBreak && c == ' ')
            continue;
        if (bPendingBreak)
        {
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            line += ' ';
            bPendingBreak = false;
        }
        line += c;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

} // namespace

ConsoleNotifier::ConsoleNotifier(std::ostream& out, std::ostream& err, bool bQuiet)
    : m_out(out), m_err(err), m_bQuiet(bQuiet)
{
}

void ConsoleNotifier::ShowMessage(const std::string& text, MessageKind kind, MessageOwner)
{
    if (m_bQuiet && kind != MessageKind::Error)
        return;
    std::ostream& stream = (kind == MessageKind::Info) ? m_out : m_err;
    stream << Caption(kind) << ": " << OneLine(text) << '\n' << std::flush;
}

} // namespace platform
