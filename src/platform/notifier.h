#pragma once

#include "platform/messages.h"

#include <cstdint>
#include <string>

// The two user-interface services that the conversion logic uses: a modal
// message box and the wait cursor. The logic calls only these; each front
// end (desktop, command line, tests) installs a notifier that carries them
// out.
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
// The notifier of the calling thread: its own while a ScopedThreadNotifier
// lives there, else the installed one.
INotifier& Notifier();

// Gives the calling thread a notifier of its own for the guard's lifetime.
class ScopedThreadNotifier
{
public:
    explicit ScopedThreadNotifier(INotifier& notifier);
    ~ScopedThreadNotifier();
    ScopedThreadNotifier(const ScopedThreadNotifier&) = delete;
    ScopedThreadNotifier& operator=(const ScopedThreadNotifier&) = delete;

private:
    INotifier* m_pPrevious;
};

void ShowError(const std::string& text, MessageOwner owner = MessageOwner::ActiveWindow);
void ShowWarning(const std::string& text, MessageOwner owner = MessageOwner::ActiveWindow);
void ShowInfo(const std::string& text, MessageOwner owner = MessageOwner::ActiveWindow);

// Sets the wait cursor for its lifetime. Restore() puts the old cursor back
// early, at a point of the caller's choosing; the destructor does it otherwise.
class ScopedWaitCursor
{
public:
    ScopedWaitCursor() : m_previous(Notifier().SetWaitCursor()) {}
    ~ScopedWaitCursor() { Restore(); }
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

    void Restore()
    {
        if (m_bActive)
        {
            m_bActive = false;
            Notifier().RestoreCursor(m_previous);
        }
    }

private:
    CursorHandle m_previous;
    bool m_bActive = true;
};

} // namespace platform
