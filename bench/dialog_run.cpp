// How the desktop converter's run answers the user on a given model, for
// the figures of a run that the unit tests do not time:
//  - the largest gap between changes of the caption's percentage in a
//    whole run (goal: at most 0.5 s);
//  - the largest time between two asks whether to stop in a whole run,
//    and the time from Cancel to the run's end (and to the temporary
//    file's removal, which may finish later), for a stop at each given
//    moment after Convert (goal: the run ends at most 100 ms after Cancel
//    at every step).
//
//   dialog_run MODEL.3ds OUTPUT_DIR [--preview] [STOP_AFTER_MS ...]
//
// The run's messages go to a notifier that answers them at once, and its
// window is the worker's own thread, as in the dialog logic's tests.

#include "dialog/converter_logic.h"
#include "dialog/preview_state.h"
#include "platform/notifier.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

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

// The largest time between two asks of the progress in a whole run: what
// a Cancel may have to wait for at the worst moment, wherever it falls.
class CAskGaps final : public IProgress
{
public:
    void Start()
    {
        m_last = Clock::now();
        m_largest = 0;
        m_before.clear();
    }
    bool Continue(std::uint64_t done, std::uint64_t total) override
    {
        const Clock::time_point now = Clock::now();
        if (Seconds(now - m_last) > m_largest)
        {
            m_largest = Seconds(now - m_last);
            m_before = std::to_string(done) + " of " + std::to_string(total);
        }
        m_last = now;
        return true;
    }
    // The gap after the last ask counts too: the run's end.
    void End() { Continue(0, 0); }
    double Largest() const { return m_largest; }
    const std::string& Before() const { return m_before; }

private:
    Clock::time_point m_last;
    double m_largest = 0;
    std::string m_before;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: dialog_run MODEL.3ds OUTPUT_DIR [--preview] [STOP_AFTER_MS ...]\n");
        return 2;
    }
    CSilentNotifier notifier;
    platform::InstallNotifier(&notifier);
    CWorkerWindow window;
    CConverterLogic logic;
    logic.OnLod1Chosen(std::string(argv[1]));
    logic.OnFolderChosen(std::string(argv[2]));
    // With --preview the model is read for a preview first, as the app
    // does when a file is chosen, and each run takes it from there.
    int first = 3;
    std::optional<CPreviewState> preview;
    if (argc > 3 && std::string(argv[3]) == "--preview")
    {
        preview.emplace([] {});
        preview->Choose(std::string(argv[1]), std::nullopt);
        preview->WaitUntilIdle();
        preview->Collect();
        first = 4;
    }
    const auto loaded = [&] { return preview ? preview->LoadedModels() : std::vector<LoadedModel>(); };

    // A whole run: the caption's percentage, read every 10 ms.
    CAskGaps gaps;
    logic.SetProgressObserver(&gaps);
    gaps.Start();
    const Clock::time_point start = Clock::now();
    logic.Convert(window, loaded());
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
    gaps.End();
    const Clock::time_point end = Clock::now();
    logic.WaitForRun();
    logic.SetProgressObserver(nullptr);
    std::printf("whole run: %.2f s; largest gap between percentage changes: %.2f s\n", Seconds(end - start),
                largestGap);
    std::printf("largest gap between asks whether to stop: %.0f ms (before the ask of %s; 0 of 0: the end)\n",
                gaps.Largest() * 1000, gaps.Before().c_str());
    // The stops below write where no old file is, as the whole run did:
    // replacing one costs its own time at the very end.
    const ConversionRequest request = logic.BuildRequest();
    std::error_code ignored;
    std::filesystem::remove(ConversionJob::OutputPath(request.outputDir, request.lod1Title), ignored);

    for (int i = first; i < argc; ++i)
    {
        const int after = std::atoi(argv[i]);
        logic.Convert(window, loaded());
        std::this_thread::sleep_for(std::chrono::milliseconds(after));
        const std::string title = logic.Title();
        const Clock::time_point cancel = Clock::now();
        logic.Cancel();
        while (logic.IsRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const Clock::time_point ended = Clock::now();
        logic.WaitForRun();
        std::printf("stop %d ms after Convert (caption \"%s\"): ended %.0f ms after Cancel, "
                    "temporary file gone after %.0f ms\n",
                    after, title.c_str(), Seconds(ended - cancel) * 1000,
                    Seconds(Clock::now() - cancel) * 1000);
    }
    platform::InstallNotifier(nullptr);
    return 0;
}
