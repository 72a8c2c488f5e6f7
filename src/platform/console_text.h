#pragma once

#include "platform/messages.h"

#include <iosfwd>
#include <string>

// Text for a terminal or a message box. Names and paths come from files and from whoever
// named them: a control byte in one could colour the terminal, retitle its
// window or clear the screen, so every such text is shown escaped.
namespace platform
{

// A name as the project file writes it (a line break as a space), with
// what a terminal cannot show as text written \xNN: control bytes and
// bytes that are no UTF-8. A name stays on its line whatever it holds.
std::string ShownName(const std::string& name);

// A message box's text on one line: the line breaks and the blanks around
// them become a single space; the rest as ShownName shows it.
std::string OneLine(const std::string& text);

// A message box's text: its line breaks kept, each line as ShownName shows
// it. A box cannot be hijacked as a terminal can, but a control byte or
// a byte that is no UTF-8 would show as nothing, or as a box of its own.
std::string BoxText(const std::string& text);

// A message for a terminal: "Error: ..." and "Warning: ..." on err,
// "Info: ..." on out, one line each. Quiet keeps the errors only.
void PrintMessage(const Message& message, std::ostream& out, std::ostream& err, bool bQuiet);

} // namespace platform
