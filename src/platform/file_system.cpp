#include "platform/file_system.h"

namespace platform
{

std::string WhyUnreadable(const std::string& path, bool& bNotFound)
{
    const FileFacts facts = Inspect(path);
    bNotFound = !facts.exists && LastFileErrorIsNotFound();
    if (!facts.exists)
        return facts.reason;
    if (!facts.regular)
        return "it is not a file (a folder, a pipe or a device cannot be converted)";
    CFile file;
    return OpenToRead(path, file) ? std::string() : LastFileError();
}

} // namespace platform
