#include "platform/console_backend.h"

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

ConsoleBackend::ConsoleBackend(std::ostream& out, std::ostream& err, bool bQuiet)
    : m_out(out), m_err(err), m_bQuiet(bQuiet)
{
}

void ConsoleBackend::ShowMessage(const std::string& text, const std::string& caption, MessageKind kind,
                                 MessageOwner)
{
    const bool bError = (caption == "Error");
    if (m_bQuiet && !bError)
        return;
    std::ostream& stream = (kind == MessageKind::Information) ? m_out : m_err;
    stream << caption << ": " << OneLine(text) << '\n' << std::flush;
}

} // namespace platform
