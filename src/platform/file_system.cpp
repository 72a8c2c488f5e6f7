#include "platform/file_system.h"

namespace platform
{

namespace
{

const char* const kNotAFile = "it is not a file (a folder, a pipe or a device cannot be converted)";

} // namespace

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
