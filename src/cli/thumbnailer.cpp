// 3ds2vnp-thumbnailer SIZE MODEL.3ds OUTPUT.png: the picture of a model for
// file managers, which call it through res/3ds2vnp.thumbnailer in a
// sandbox without a display. It reads no file over 100 MB, ends within
// five seconds and takes at most 1 GB of address space, whatever the file
// holds and whatever signal dispositions it inherits.

#include "model/c3ds_model.h"
#include "platform/console_text.h"
#include "platform/file_system.h"
#include "platform/text_path.h"
#include "render/thumbnail.h"
#include "writer/output_file.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace
{

constexpr std::uintmax_t kMaxModelSize = 100'000'000;
constexpr long kTimeLimitMilliseconds = 5000;
// A model of 100 MB takes about 300 MB once read; the textures of one
// picture up to 256 MB decoded, twice while one is copied out of the
// decoder; the picture and its depth 8 MB at 1024 pixels; the rest is
// code and stacks.
constexpr rlim_t kAddressSpaceLimit = rlim_t{1} << 30;

// The time limit, on a thread of the program's own: a signal could be
// ignored or blocked by whoever started it (a parent leaves SIGTERM
// ignored, and an alarm's default action can be changed likewise), a
// sleeping thread cannot. At the limit the picture's temporary file goes
// and the process ends at once. VNP_THUMBNAILER_LIMIT_MS may shorten the
// limit (to try it on a run that is slow for it), never lengthen it.
void StartTimeLimit(const std::string& input)
{
    long limit = kTimeLimitMilliseconds;
    if (const char* text = std::getenv("VNP_THUMBNAILER_LIMIT_MS"))
        limit = std::clamp(std::atol(text), 1L, kTimeLimitMilliseconds);
    // Composed now: at the limit nothing may wait for memory or a lock
    // that the stopped work holds.
    static std::string s_message;
    s_message = "3ds2vnp-thumbnailer: " + platform::OneLine(input) + " took more than " +
                std::to_string(limit) + " ms to draw; no picture\n";
    std::thread([limit] {
        std::this_thread::sleep_for(std::chrono::milliseconds(limit));
        platform::RemoveAllTemporaries();
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, s_message.data(), s_message.size());
        ::_exit(1);
    }).detach();
}

// A hostile file must not make a file manager pay more than this; past it
// an allocation fails, which the reader and the drawing report. Left out
// under AddressSanitizer, which reserves terabytes of address space.
void CapMemory()
{
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VNP_ADDRESS_SANITIZER
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(VNP_ADDRESS_SANITIZER)
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 &&
        (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > kAddressSpaceLimit))
    {
        limit.rlim_cur = kAddressSpaceLimit;
        ::setrlimit(RLIMIT_AS, &limit);
    }
#endif
}

int Fail(const std::string& reason)
{
    std::cerr << "3ds2vnp-thumbnailer: " << platform::OneLine(reason) << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    COutputFile::RemoveTemporariesOnInterrupt();
    const std::string input = argc == 4 ? argv[2] : "";
    StartTimeLimit(input);
    CapMemory();

    const std::string sizeText = argc == 4 ? argv[1] : "";
    if (sizeText.empty() || sizeText.size() > 5 ||
        sizeText.find_first_not_of("0123456789") != std::string::npos)
    {
        std::cerr << "usage: 3ds2vnp-thumbnailer SIZE MODEL.3ds OUTPUT.png\n";
        return 2;
    }
    // File managers ask for 128, 256, 512 or 1024 pixels.
    const int size = std::clamp(std::stoi(sizeText), 128, 1024);
    const std::string output = argv[3];

    // Every message, warnings included, goes to standard error: a file
    // manager shows none, but whoever runs it by hand learns why it failed.
    platform::CMessageLog log([](const platform::Message& message) {
        std::cerr << "3ds2vnp-thumbnailer: " << platform::OneLine(message.text) << '\n';
    });
    const platform::FileFacts facts = platform::Inspect(input);
    if (facts.regular && facts.size > kMaxModelSize)
        return Fail(input + " is larger than 100 MB");
    // The output is never the model itself (a slip of the arguments, a
    // hard or symbolic link): replacing it would destroy the model.
    if (platform::SameFile(input, output))
        return Fail(output + " is the model itself; it is not replaced");
    C3dsModel model;
    if (!model.Load(input.c_str(), log))
        return 1;
    model.ComputeNormals();
    return WriteThumbnail(output, size, model, input, log) ? 0 : 1;
}
