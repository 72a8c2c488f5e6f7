#include "test_support.h"
#include "writer/output_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace
{

std::size_t EntryCount(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

bool WriteText(const std::filesystem::path& path, const std::string& text)
{
    OutputFile file;
    return file.Create(path.string()) && file.Put(text.data(), text.size()) && file.Commit();
}

// In a child: a write beyond RLIMIT_FSIZE fails like a full disk.
[[noreturn]] void WriteOverSizeLimit(const std::filesystem::path& target)
{
    OutputFile::RemoveTemporariesOnInterrupt();
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string text(5000, 'x');
    OutputFile file;
    const bool bFailed = file.Create(target.string()) && !file.Put(text.data(), text.size());
    std::_Exit(bFailed && file.Error() == std::strerror(EFBIG) ? 0 : 4);
}

} // namespace

// A replaced file keeps its mode, its other names and the file a link
// leads to; a name of any allowed length can be written.
TEST(OutputFile, ReplacingKeepsModeLinksAndNames)
{
    TempDir dir;
    const auto priv = dir / "private.vnp";
    build3ds::WriteFile(priv, build3ds::Str("old"));
    ASSERT_EQ(::chmod(priv.c_str(), 0600), 0);
    ASSERT_TRUE(WriteText(priv, "new"));
    EXPECT_EQ(std::filesystem::status(priv).permissions(), std::filesystem::perms(0600));
    const auto real = dir / "real.vnp", link = dir / "link.vnp";
    build3ds::WriteFile(real, build3ds::Str("old"));
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(WriteText(link, "through the link"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(real), "through the link");
    const auto second = dir / "second-name.vnp";
    std::filesystem::create_hard_link(real, second);
    ASSERT_TRUE(WriteText(second, "both names"));
    EXPECT_EQ(ReadWholeFile(real), "both names");
    EXPECT_EQ(std::filesystem::hard_link_count(real), 2u);
    const auto longest = dir / (std::string(251, 'n') + ".vnp"); // 255 bytes, the most a name may have
    EXPECT_TRUE(WriteText(longest, "long"));
    EXPECT_EQ(ReadWholeFile(longest), "long");
    EXPECT_EQ(EntryCount(dir.Path()), 5u); // no temporary file left

    // What was reserved ahead of the writes to a new file is given back
    // at the end.
    const auto large = dir / "large.vnp";
    OutputFile file;
    const std::string block(1 << 20, 'b');
    ASSERT_TRUE(file.Create(large.string()));
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(file.Put(block.data(), block.size()));
    ASSERT_TRUE(file.Commit());
    struct stat written = {};
    ASSERT_EQ(::stat(large.c_str(), &written), 0);
    EXPECT_EQ(written.st_size, 9 << 20);
    EXPECT_LT(written.st_blocks * 512, written.st_size + (1 << 20));
}

// A folder that takes no new files still lets a writable target be
// rewritten. Root passes every permission check, so this needs another
// user: scripts/check_as_user.sh runs it as one.
TEST(OutputFile, FolderThatTakesNoNewFilesFallsBackToWritingInPlace)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may create files in any folder";
    TempDir dir;
    const auto target = dir / "ship.vnp";
    build3ds::WriteFile(target, build3ds::Str("old"));
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    const bool bWritten = WriteText(target, "new");
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_TRUE(bWritten);
    EXPECT_EQ(ReadWholeFile(target), "new");
}

// An interrupt removes the temporary file and still ends the process as
// the signal says; a file-size limit fails the write instead of killing.
TEST(OutputFileDeathTest, InterruptsAndSizeLimitsLeaveNoTemporaryFile)
{
    TempDir dir;
    const auto target = dir / "ship.vnp";
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        EXPECT_EXIT(
            {
                OutputFile::RemoveTemporariesOnInterrupt();
                OutputFile file;
                if (file.Create(target.string()) && file.Put("half", 4))
                    std::raise(signal);
                std::_Exit(3);
            },
            ::testing::KilledBySignal(signal), "");
        EXPECT_EQ(EntryCount(dir.Path()), 0u) << signal;
    }

    EXPECT_EXIT(WriteOverSizeLimit(target), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(EntryCount(dir.Path()), 0u);
}
#endif
