#pragma once

#include "pipeline/run_report.h"
#include "platform/file_ref.h"
#include "platform/file_system.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

// The files a run reads and writes, which may be several conversions at
// once: no output is ever an input of the run or another output of it.
// Files are compared as files: a link, a second hard link or another
// spelling of a path is the same file; names that differ only in letter
// case are one file to the editor, and one here.
class CRunGuard
{
public:
    // A file the run reads: a model, a LOD 2 model, a texture.
    void AddInput(const platform::CFileRef& file);
    void AddInput(const std::string& path) { AddInput(platform::CFileRef(path)); }
    bool IsInput(const std::string& path) const;

    // Whether model may write path as an output of kind; false after a
    // message in log that says why not (an error for a project file, a
    // warning for a picture or a texture copy, which the project does
    // without). A texture copy, source, may go where another model of the
    // run copied the same bytes. A picture or a copy never writes through
    // a symbolic link.
    [[nodiscard]] bool Claim(const std::string& path, OutputKind kind, const std::string& model,
                             const std::string& source, platform::CMessageLog& log);

    // Gives up the claim on path: what it was claimed for was not written.
    void Release(const std::string& path);

    // What two spellings of one output have in common: the file's identity
    // where it exists, else its folder's identity and its name in lower
    // case.
    using Key = std::pair<platform::FileId, std::string>;
    static Key OutputKey(const std::string& path);

private:
    struct Holder
    {
        OutputKind kind = OutputKind::Project;
        std::string model;
        std::string source; // what a texture copy copies
    };

    mutable std::mutex m_mutex;
    std::map<platform::FileId, std::string> m_inputs;
    std::map<Key, Holder> m_outputs;             // by folder and lower-case name
    std::map<platform::FileId, Key> m_outputIds; // the outputs that exist, by identity
};

// Whether two files hold the same bytes (false when either cannot be read).
bool SameBytes(const std::string& first, const std::string& second);

// Files are read in blocks of this size, never whole.
inline constexpr std::size_t kReadBlock = 1 << 20;

// Reads up to size bytes of an open file, fewer only at its end.
std::size_t ReadBlock(platform::CFile& file, char* data, std::size_t size);
