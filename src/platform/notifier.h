#pragma once

#include "platform/messages.h"

#include <cstdint>
#include <string>

// The two user-interface services of a desktop front end: a modal message
// box and the wait cursor. The logic records its messages in a message log
// instead; a front end shows them through its notifier (the dialog views
// install theirs at start, tests a recording one), and so do its own
// messages (a file that cannot be chosen).
namespace platform
{

// An opaque cursor: what SetWaitCursor replaced, to be handed back to RestoreCursor.
using CursorHandle = std::uintptr_t;

class INotifier
{
public:
    virtual ~INotifier() = default;

    // Shows the message and returns once the user has acknowledged it.
    virtual void ShowMessage(const std::string& text, MessageKind kind, MessageOwner owner) = 0;
    // Makes the wait cursor current; returns the cursor it replaced.
    virtual CursorHandle SetWaitCursor() = 0;
    virtual void RestoreCursor(CursorHandle cursor) = 0;
};

// Installs the notifier used by every later call; nullptr installs a silent
// one. The notifier is not owned and must outlive its installation.
void InstallNotifier(INotifier* notifier);
// The installed notifier.
INotifier& Notifier();

void ShowError(const std::string& text, MessageOwner owner = MessageOwner::ActiveWindow);

} // namespace platform
