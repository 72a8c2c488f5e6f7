#include "cli/cli.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{

std::vector<std::filesystem::path> FilesIn(const std::string& dir)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

int Convert(const std::filesystem::path& model, const TempDir& out, std::string& errors)
{
    const std::string input = model.string();
    const std::string outputDir = out.Path().string();
    const char* argv[] = {"3ds2vnp", "-q", "-o", outputDir.c_str(), input.c_str()};
    std::ostringstream stdOut, stdErr;
    const int status = RunCommandLine(5, argv, stdOut, stdErr);
    errors = stdErr.str();
    EXPECT_EQ(stdOut.str(), "");
    return status;
}

} // namespace

// Every damaged file is refused: exit status 1, one error line that names
// the file and says what is wrong, the closing line, and no output file.
TEST(MalformedFiles, AreRefusedWithOneClearError)
{
    const auto files = FilesIn(VNP_TEST_DATA_DIR "/malformed");
    ASSERT_GE(files.size(), 20u);
    for (const auto& file : files)
    {
        TempDir out;
        std::string errors;
        EXPECT_EQ(Convert(file, out, errors), 1) << file;
        const std::string first = errors.substr(0, errors.find('\n'));
        EXPECT_EQ(first.rfind("Error: ", 0), 0u) << file;
        EXPECT_NE(first.find(file.string()), std::string::npos) << first;
        EXPECT_TRUE(first.find("damaged") != std::string::npos || first.find("Not a valid 3ds file") != std::string::npos)
            << first;
        EXPECT_EQ(errors.substr(first.size() + 1), "Error: Conversion failed\n") << file;
        EXPECT_TRUE(std::filesystem::is_empty(out.Path())) << file;
    }
}

TEST(MalformedFiles, OddButReadableFilesStillConvert)
{
    for (const auto& file : FilesIn(VNP_TEST_DATA_DIR "/tolerated"))
    {
        TempDir out;
        std::string errors;
        EXPECT_EQ(Convert(file, out, errors), 0) << file << errors;
        EXPECT_FALSE(std::filesystem::is_empty(out.Path())) << file;
    }
}
