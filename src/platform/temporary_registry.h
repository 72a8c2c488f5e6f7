#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

namespace platform::detail
{

// The temporary files being written, for an interrupt, which may touch
// nothing but these lock-free slots: each holds a copy of a path in the
// form the system's remove call takes, owned by the slot. As many as
// conversions may run at once (-j allows 1024).
//
// An interrupt must not miss a file that another thread is creating, nor
// stop a copy over a file's old bytes halfway: it raises the stop flag,
// waits (up to ten seconds) until no thread is in such a section
// (BeginSection ... EndSection), then removes every registered file. A
// section that would begin after the flag is raised does not.
template <typename Char> class CTemporaryRegistry
{
public:
    bool BeginSection()
    {
        m_nInSection.fetch_add(1);
        if (!m_bStopping.load())
            return true;
        m_nInSection.fetch_sub(1);
        return false;
    }
    void EndSection() { m_nInSection.fetch_sub(1); }

    // The slot, or -1 when all are taken (that file is then not removed
    // by an interrupt).
    int Register(const std::basic_string<Char>& path)
    {
        std::unique_ptr<Char[]> copy(new Char[path.size() + 1]);
        path.copy(copy.get(), path.size());
        copy[path.size()] = Char(0);
        for (std::size_t i = 0; i < m_slots.size(); ++i)
        {
            const Char* expected = nullptr;
            if (m_slots[i].compare_exchange_strong(expected, copy.get()))
            {
                copy.release();
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // Empties the slot. When an interrupt took the path meanwhile, the
    // process is ending: this thread waits for that rather than go on.
    template <typename Wait> void Forget(int slot, Wait wait)
    {
        if (slot < 0)
            return;
        const Char* path = m_slots[static_cast<std::size_t>(slot)].exchange(nullptr);
        if (!path && m_bStopping.load())
            for (;;)
                wait();
        delete[] path;
    }

    // For the interrupt: stop new sections, wait (a bounded while) for
    // those under way, then remove every registered file.
    template <typename Remove, typename Wait> void Stop(Remove remove, Wait wait)
    {
        m_bStopping.store(true);
        for (int i = 0; i < 10000 && m_nInSection.load() > 0; ++i)
            wait();
        RemoveAll(remove, false); // no allocator calls in a signal handler
    }

    template <typename Remove> void RemoveAll(Remove remove, bool bFree)
    {
        for (auto& slot : m_slots)
        {
            if (const Char* path = slot.exchange(nullptr))
            {
                remove(path);
                if (bFree)
                    delete[] path;
            }
        }
    }

private:
    std::array<std::atomic<const Char*>, 1024> m_slots{};
    std::atomic<int> m_nInSection{0};
    std::atomic<bool> m_bStopping{false};
};

} // namespace platform::detail
