#include "platform/file_system.h"

#include <mutex>
#include <thread>
#include <vector>

namespace platform
{

namespace
{

const char* const kNotAFile = "it is not a file (a folder, a pipe or a device cannot be converted)";

// The removals under way on threads of their own, each joined before the
// program ends, so that none is cut off with its file still there.
class CRemovals
{
public:
    ~CRemovals() { Finish(); }

    void Add(const std::string& path, int slot)
    {
        const std::lock_guard lock(m_mutex);
        m_threads.reserve(m_threads.size() + 1); // so that the thread is never dropped unjoined
        m_threads.emplace_back([path, slot] { RemoveTemporary(path, slot); });
    }

    void Finish()
    {
        std::vector<std::thread> threads;
        {
            const std::lock_guard lock(m_mutex);
            threads.swap(m_threads);
        }
        for (std::thread& thread : threads)
            thread.join();
    }

private:
    std::mutex m_mutex;
    std::vector<std::thread> m_threads;
};

// Made at first use, so that it ends before the registry of temporary
// files, which its removals still use.
CRemovals& Removals()
{
    static CRemovals s_removals;
    return s_removals;
}

} // namespace

void RemoveTemporaryLater(const std::string& path, int slot)
{
    try
    {
        Removals().Add(path, slot);
    }
    catch (const std::exception&) // no thread or no memory to be had: removed now
    {
        RemoveTemporary(path, slot);
    }
}

void FinishRemovals()
{
    Removals().Finish();
}

std::string WhyUnreadable(const std::string& path, bool& bNotFound)
{
    CFile file;
    FileFacts facts;
    std::string reason;
    OpenForReading(path, file, facts, reason, bNotFound);
    return reason;
}

bool OpenForReading(const std::string& path, CFile& file, FileFacts& facts, std::string& reason,
                    bool& bNotFound)
{
    file.Close();
    reason.clear();
    facts = Inspect(path);
    bNotFound = !facts.exists && LastFileErrorIsNotFound();
    if (!facts.exists)
        reason = facts.reason;
    else if (!facts.regular)
        reason = kNotAFile;
    else if (bool bRegular = true; !detail::OpenAndCheck(path, file, facts, bRegular))
        reason = bRegular ? LastFileError() : kNotAFile;
    if (reason.empty())
        return true;
    file.Close();
    return false;
}

} // namespace platform
