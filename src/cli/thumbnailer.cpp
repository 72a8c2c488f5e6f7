// 3ds2vnp-thumbnailer SIZE MODEL.3ds OUTPUT.png: the picture of a model for
// file managers, which call it through res/3ds2vnp.thumbnailer in a
// sandbox without a display. It reads no file over 100 MB and ends within
// five seconds, whatever the file holds.

#include "model/c3ds_model.h"
#include "platform/text_path.h"
#include "render/thumbnail.h"
#include "writer/output_file.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

namespace
{

constexpr std::uintmax_t kMaxModelSize = 100'000'000;
constexpr unsigned kTimeLimitSeconds = 5;

// At the time limit the run ends as on SIGTERM, whose handler removes the
// picture's temporary file.
void OnTimeLimit(int)
{
    std::raise(SIGTERM);
}

} // namespace

int main(int argc, char** argv)
{
    OutputFile::RemoveTemporariesOnInterrupt();
    std::signal(SIGALRM, OnTimeLimit);
    ::alarm(kTimeLimitSeconds);

    const std::string sizeText = argc == 4 ? argv[1] : "";
    if (sizeText.empty() || sizeText.size() > 5 ||
        sizeText.find_first_not_of("0123456789") != std::string::npos)
    {
        std::cerr << "usage: 3ds2vnp-thumbnailer SIZE MODEL.3ds OUTPUT.png\n";
        return 2;
    }
    // File managers ask for 128, 256, 512 or 1024 pixels.
    const int size = std::clamp(std::stoi(sizeText), 128, 1024);
    const std::string input = argv[2];

    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(platform::FileSystemPath(input), error);
    if (!error && bytes > kMaxModelSize)
    {
        std::cerr << "3ds2vnp-thumbnailer: " << input << " is larger than 100 MB\n";
        return 1;
    }
    // A file manager shows no message: the reason goes to standard error.
    platform::CMessageLog log([](const platform::Message& message) {
        if (message.kind == platform::MessageKind::Error || message.kind == platform::MessageKind::Warning)
            std::cerr << "3ds2vnp-thumbnailer: " << message.text << '\n';
    });
    C3dsModel model;
    if (!model.Load(input.c_str(), log))
        return 1;
    model.ComputeNormals();
    return WriteThumbnail(argv[3], size, model, input, log) ? 0 : 1;
}
