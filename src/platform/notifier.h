#pragma once

#include <cstdint>
#include <string>

// The two user-interface services that the conversion logic uses: a modal
// message box and the wait cursor. The logic calls only these; each front end
// (desktop, command line, tests) installs a backend that carries them out.
namespace platform
{

enum class MessageKind
{
    Exclamation, // errors and warnings
    Information, // the success message
};

enum class MessageOwner
{
    ActiveWindow, // owned by whatever window is active at the call
    None,         // no owner window
};

// An opaque cursor: what SetWaitCursor replaced, to be handed back to RestoreCursor.
using CursorHandle = std::uintptr_t;

class IBackend
{
public:
    virtual ~IBackend() = default;

    // Shows the message and returns once the user has acknowledged it.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind,
                             MessageOwner owner) = 0;
    // Makes the wait cursor current; returns the cursor it replaced.
    virtual CursorHandle SetWaitCursor() = 0;
    virtual void RestoreCursor(CursorHandle cursor) = 0;
};

// Installs the backend used by every later call; nullptr installs a silent one.
// The backend is not owned and must outlive its installation.
void InstallBackend(IBackend* backend);
// The backend of the calling thread: its own while a ScopedThreadBackend
// lives there, else the installed one.
IBackend& Backend();

// Gives the calling thread a backend of its own for the guard's lifetime.
class ScopedThreadBackend
{
public:
    explicit ScopedThreadBackend(IBackend& backend);
    ~ScopedThreadBackend();
    ScopedThreadBackend(const ScopedThreadBackend&) = delete;
    ScopedThreadBackend& operator=(const ScopedThreadBackend&) = delete;

private:
    IBackend* m_pPrevious;
};

void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind, MessageOwner owner);
CursorHandle SetWaitCursor();
void RestoreCursor(CursorHandle cursor);

// Shorthand for the most common message: caption "Error", exclamation icon.
void ShowError(const std::string& text, MessageOwner owner = MessageOwner::ActiveWindow);

// Sets the wait cursor for its lifetime. Restore() puts the old cursor back
// early, at a point of the caller's choosing; the destructor does it otherwise.
class ScopedWaitCursor
{
public:
    ScopedWaitCursor() : m_previous(SetWaitCursor()) {}
    ~ScopedWaitCursor() { Restore(); }
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

    void Restore()
    {
        if (m_bActive)
        {
            m_bActive = false;
            RestoreCursor(m_previous);
        }
    }

private:
    CursorHandle m_previous;
    bool m_bActive = true;
};

} // namespace platform
