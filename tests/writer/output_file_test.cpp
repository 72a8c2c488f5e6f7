#include "platform/text_path.h"
#include "test_support.h"
#include "writer/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace
{

std::size_t EntryCount(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

bool WriteText(const std::filesystem::path& path, const std::string& text)
{
    COutputFile file;
    return file.Create(path.string()) && file.Put(text.data(), text.size()) && file.Commit();
}

// The write call that fails (as a full disk or an I/O error does) at the
// call s_nFailAt, counted from 1.
int s_nCalls = 0;
int s_nFailAt = 0;
long FailingWrite(platform::CFile& file, const void* data, std::size_t size)
{
    if (++s_nCalls != s_nFailAt)
        return platform::WriteSome(file, data, size);
    platform::SetLastFileError("Input/output error");
    return -1;
}

} // namespace

// A target with two names is written in place, but only once the whole
// text exists and the room for it is taken: a failure before that leaves
// the old file under both names as it was; one after it says the old text
// is lost and where the new one is. Writes 1: temporary file, 2: beyond
// the old end, 3: over the old bytes.
TEST(OutputFile, InPlaceWritesKeepTheOldFileUntilTheyCannot)
{
    TempDir dir;
    const auto target = dir / "ship.vnp", second = dir / "second.vnp";
    build3ds::WriteFile(target, build3ds::Str("old"));
    std::filesystem::create_hard_link(target, second);
    const std::string text(3000, 'n');
    COutputFile::s_pfnWrite = &FailingWrite;
    for (s_nFailAt = 1; s_nFailAt <= 3; ++s_nFailAt)
    {
        s_nCalls = 0;
        COutputFile file;
        EXPECT_FALSE(file.Create(target.string()) && file.Put(text.data(), text.size()) && file.Commit());
        if (s_nFailAt < 3)
        {
            EXPECT_EQ(ReadWholeFile(second), std::string("old") + '\0') << s_nFailAt;
            EXPECT_EQ(EntryCount(dir.Path()), 2u) << s_nFailAt;
            continue;
        }
        const std::string kept = "the complete new output was kept in ";
        const std::size_t at = file.Error().find(kept);
        ASSERT_NE(at, std::string::npos) << file.Error();
        EXPECT_EQ(file.Error().rfind("Input/output error. The old content of the file is lost", 0), 0u);
        EXPECT_EQ(ReadWholeFile(file.Error().substr(at + kept.size())), text);
    }

    // A disk that fills up after part of the appended text went out: the
    // bytes that did are cut off again.
    build3ds::WriteFile(target, build3ds::Str("old"));
    const std::size_t entries = EntryCount(dir.Path());
    s_nCalls = 0;
    COutputFile::s_pfnWrite = [](platform::CFile& file, const void* data, std::size_t size) -> long {
        ++s_nCalls;
        if (s_nCalls == 2) // the first bytes beyond the old end
            return platform::WriteSome(file, data, size / 2);
        if (s_nCalls == 3)
        {
            platform::SetLastFileError("No space left on device");
            return -1;
        }
        return platform::WriteSome(file, data, size);
    };
    {
        COutputFile file;
        EXPECT_FALSE(file.Create(target.string()) && file.Put(text.data(), text.size()) && file.Commit());
        EXPECT_EQ(file.Error(), "No space left on device");
        EXPECT_EQ(ReadWholeFile(second), std::string("old") + '\0');
        EXPECT_EQ(EntryCount(dir.Path()), entries);
    }
    COutputFile::s_pfnWrite = &platform::WriteSome;

    // A run that writes the file in place waits while another holds it,
    // so that the file is always one run's text.
    build3ds::WriteFile(target, build3ds::Str("old"));
    platform::CFile held;
    ASSERT_TRUE(platform::OpenToWrite(target.string(), held) && platform::LockExclusive(held));
    std::thread writer([&] { EXPECT_TRUE(WriteText(second, "new")); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ReadWholeFile(target), std::string("old") + '\0');
    held.Close();
    writer.join();
    EXPECT_EQ(ReadWholeFile(target), "new");
}

// What an interrupt does: every temporary file goes, also one that a
// conversion still has open (Windows refuses that without delete sharing;
// there the name goes when the process ends and closes the file).
TEST(OutputFile, InterruptRemovesOpenTemporaryFiles)
{
    TempDir dir;
    platform::CFile file;
    std::string path;
    int slot = -1;
    ASSERT_TRUE(platform::CreateTemporary(dir.Path().string() + platform::kSeparator, file, path, slot));
    EXPECT_EQ(platform::WriteSome(file, "half", 4), 4);
    platform::RemoveAllTemporaries();
    file.Close();
    platform::ForgetTemporary(slot);
    EXPECT_EQ(EntryCount(dir.Path()), 0u);
}

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace
{

// In a child: a write beyond RLIMIT_FSIZE fails like a full disk.
[[noreturn]] void WriteOverSizeLimit(const std::filesystem::path& target)
{
    COutputFile::RemoveTemporariesOnInterrupt();
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string text(5000, 'x');
    COutputFile file;
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
    COutputFile file;
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

// A link that leads to no regular file is refused, naming where it leads,
// and stays a link.
TEST(OutputFile, LinksToNoFileAreRefused)
{
    TempDir dir;
    std::filesystem::create_symlink(dir / "loop.vnp", dir / "loop.vnp");
    for (const std::string& target : {(dir / "missing").string(), (dir / "loop.vnp").string(),
                                      dir.Path().string(), std::string("/dev/null")})
    {
        const auto link = dir / "link.vnp";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(target, link);
        COutputFile file;
        EXPECT_FALSE(file.Create(link.string()));
        EXPECT_EQ(file.Error().rfind("It is a symbolic link to " + target + ", which ", 0), 0u)
            << file.Error();
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
    EXPECT_EQ(EntryCount(dir.Path()), 2u);
}

// An interrupt removes every temporary file, also while other threads
// create and write theirs (as -j does), and still ends the process as the
// signal says; a file-size limit fails the write instead of killing, and
// leaves a target written in place as it was.
TEST(OutputFileDeathTest, InterruptsAndSizeLimitsLeaveNoTemporaryFile)
{
    TempDir dir;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        EXPECT_EXIT(
            {
                COutputFile::RemoveTemporariesOnInterrupt();
                std::vector<std::thread> writers;
                for (int t = 0; t < 16; ++t)
                    writers.emplace_back([&, t] {
                        const std::string text(4000000, 'x');
                        for (;;)
                        {
                            COutputFile file;
                            (void)(file.Create((dir / std::to_string(t)).string()) &&
                                   file.Put(text.data(), text.size()));
                        }
                    });
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                ::kill(::getpid(), signal);
                std::this_thread::sleep_for(std::chrono::seconds(10));
                std::_Exit(3);
            },
            ::testing::KilledBySignal(signal), "");
        EXPECT_EQ(EntryCount(dir.Path()), 0u) << signal;
    }

    // An interrupt during the copy over a file's old bytes waits for it.
    const auto target = dir / "ship.vnp", second = dir / "second.vnp";
    build3ds::WriteFile(target, build3ds::Str("old"));
    std::filesystem::create_hard_link(target, second);
    const std::string text(3000, 'n');
    EXPECT_EXIT(
        {
            COutputFile::RemoveTemporariesOnInterrupt();
            COutputFile::s_pfnWrite = [](platform::CFile& file, const void* data, std::size_t size) {
                if (++s_nCalls == 2) // appending beyond the old end
                    ::kill(::getpid(), SIGTERM);
                return platform::WriteSome(file, data, size);
            };
            (void)WriteText(target, text);
            std::_Exit(3);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(ReadWholeFile(second), text);

    // The same when the interrupt reaches another thread than the one
    // that copies, which is what happens with -j or the desktop's worker:
    // the handler there waits until the copy is done.
    build3ds::WriteFile(target, build3ds::Str("old"));
    EXPECT_EXIT(
        {
            COutputFile::RemoveTemporariesOnInterrupt();
            static std::atomic<bool> s_bCopying{false};
            COutputFile::s_pfnWrite = [](platform::CFile& file, const void* data, std::size_t size) -> long {
                if (++s_nCalls >= 2) // the copy: slow, a few bytes at a time
                {
                    s_bCopying = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    return platform::WriteSome(file, data, std::min<std::size_t>(size, 300));
                }
                return platform::WriteSome(file, data, size);
            };
            s_nCalls = 0;
            std::thread writer([&] { (void)WriteText(target, text); });
            while (!s_bCopying)
                std::this_thread::yield();
            ::kill(::getpid(), SIGTERM); // only this thread takes it now
            writer.join();
            std::this_thread::sleep_for(std::chrono::seconds(10));
            std::_Exit(3);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(ReadWholeFile(second), text);

    // Started under nohup (the hang-up ignored), a run keeps ignoring it
    // and goes on writing; the other interrupts still stop it.
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            COutputFile::RemoveTemporariesOnInterrupt();
            COutputFile file;
            const bool bCreated = file.Create((dir / "nohup.vnp").string());
            ::kill(::getpid(), SIGHUP);
            std::_Exit(bCreated && file.Put("x", 1) && file.Commit() ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(dir / "nohup.vnp"), "x");
    std::filesystem::remove(dir / "nohup.vnp");
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            COutputFile::RemoveTemporariesOnInterrupt();
            ::kill(::getpid(), SIGTERM);
            std::_Exit(3);
        },
        ::testing::KilledBySignal(SIGTERM), "");

    std::filesystem::remove(second);
    std::filesystem::remove(target);
    EXPECT_EXIT(WriteOverSizeLimit(target), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(EntryCount(dir.Path()), 0u);
    build3ds::WriteFile(target, build3ds::Str("old"));
    std::filesystem::create_hard_link(target, second);
    EXPECT_EXIT(WriteOverSizeLimit(target), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(second), std::string("old") + '\0');
    EXPECT_EQ(EntryCount(dir.Path()), 2u);
}
#endif
