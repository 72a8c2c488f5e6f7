#pragma once

#include "platform/file_system.h"

#include <optional>
#include <string>
#include <utility>

namespace platform
{

// A file as a run refers to it: the path as it was given (UTF-8, as the
// messages show it) and what the system says of the file there, asked once
// and then kept, so that the steps that need a file's identity, size, mode
// or time (the guard of inputs and outputs, the copies and their check of
// what is newer) do not each ask the system again. Made where a path
// enters the run and handed on from there; one run's, on one thread.
class CFileRef
{
public:
    CFileRef() = default;
    explicit CFileRef(std::string path) : m_strPath(std::move(path)) {}

    const std::string& Path() const { return m_strPath; }
    const FileFacts& Facts() const
    {
        if (!m_facts)
            m_facts = Inspect(m_strPath);
        return *m_facts;
    }
    // The file may have changed since it was asked: ask again next time.
    void Refresh() { m_facts.reset(); }

private:
    std::string m_strPath;
    mutable std::optional<FileFacts> m_facts;
};

} // namespace platform
