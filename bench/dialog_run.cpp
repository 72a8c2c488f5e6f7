// How the desktop converter's run answers the user on a given model, for
// the figures of a run that the unit tests do not time:
//  - the largest gap between changes of the caption's percentage in a
//    whole run (goal: at most 0.5 s);
//  - the time from Cancel to the run's end, for a stop at each given
//    moment after Convert (goal: at most 100 ms at every step).
//
//   dialog_run MODEL.3ds OUTPUT_DIR [STOP_AFTER_MS ...]
//
// The run's messages go to a notifier that answers them at once, and its
// window is the worker's own thread, as in the dialog logic's tests.

#include "dialog/converter_logic.h"
#include "platform/notifier.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

class CSilentNotifier final : public platform::INotifier
{
public:
    void ShowMessage(const std::string& text, platform::MessageKind, platform::MessageOwner) override
    {
        std::fprintf(stderr, "  message: %s\n", text.c_str());
    }
    platform::CursorHandle SetWaitCursor() override { return 0; }
    void RestoreCursor(platform::CursorHandle) override {}
};

struct CWorkerWindow final : IWindowThread
{
    void Call(const std::function<void()>& call) override { call(); }
    void OnRunEnded() override {}
};

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: dialog_run MODEL.3ds OUTPUT_DIR [STOP_AFTER_MS ...]\n");
        return 2;
    }
    CSilentNotifier notifier;
    platform::InstallNotifier(&notifier);
    CWorkerWindow window;
    CConverterLogic logic;
    logic.OnLod1Chosen(std::string(argv[1]));
    logic.OnFolderChosen(std::string(argv[2]));

    // A whole run: the caption's percentage, read every 10 ms.
    const Clock::time_point start = Clock::now();
    logic.Convert(window);
    std::string last = logic.Title();
    Clock::time_point lastChange = start;
    double largestGap = 0;
    while (logic.IsRunning())
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string title = logic.Title();
        const Clock::time_point now = Clock::now();
        if (title != last)
        {
            // The first half second shows no percentage by design.
            if (last.find('%') != std::string::npos)
                largestGap = std::max(largestGap, Seconds(now - lastChange));
            last = title;
            lastChange = now;
        }
    }
    logic.WaitForRun();
    std::printf("whole run: %.2f s; largest gap between percentage changes: %.2f s\n",
                Seconds(Clock::now() - start), largestGap);

    for (int i = 3; i < argc; ++i)
    {
        const int after = std::atoi(argv[i]);
        logic.Convert(window);
        std::this_thread::sleep_for(std::chrono::milliseconds(after));
        const std::string title = logic.Title();
        const Clock::time_point cancel = Clock::now();
        logic.Cancel();
        while (logic.IsRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        logic.WaitForRun();
        std::printf("stop %d ms after Convert (caption \"%s\"): ended %.0f ms after Cancel\n", after,
                    title.c_str(), Seconds(Clock::now() - cancel) * 1000);
    }
    platform::InstallNotifier(nullptr);
    return 0;
}
