// Feeds files and directories of inputs to a fuzz target without libFuzzer,
// so that the normal build and CTest run the committed corpus.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace
{

void Replay(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i)
    {
        if (std::filesystem::is_directory(argv[i]))
        {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i]))
            {
                if (entry.is_regular_file())
                {
                    Replay(entry.path());
                    ++count;
                }
            }
        }
        else
        {
            Replay(argv[i]);
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
