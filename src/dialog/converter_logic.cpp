#include "dialog/converter_logic.h"

#include "dialog/control_ids.h"
#include "pipeline/batch.h"
#include "platform/file_system.h"
#include "platform/notifier.h"
#include "platform/text_path.h"

#include <cctype>
#include <exception>
#include <limits>
#include <system_error>

namespace
{

constexpr char kTitle[] = "3ds to Vantrel v1.1";
// A run shows how far it is only when it lasts: short ones would flicker.
constexpr std::chrono::milliseconds kQuietTime(500);

// Carries a run's messages and cursor from the worker to the window's
// thread, to the notifier the window's thread had when the run began, and
// waits there until the user has answered. What the call raises there is
// raised again on the worker, where the job expects it.
class CWindowHost final : public IRunHost
{
public:
    CWindowHost(IWindowThread& window, platform::INotifier& target, std::atomic<bool>& bShowing)
        : m_window(window), m_target(target), m_bShowing(bShowing)
    {
    }

    void OnMessage(const platform::Message& message) override
    {
        // The success or failure box ends the run: the caption no longer
        // says how far it is ("- 100%" under "Conversion succeeded!"). A
        // warning, after which the run goes on, keeps it.
        m_bShowing = message.kind != platform::MessageKind::Warning;
        Call([&] { m_target.ShowMessage(message.text, message.kind, message.owner); });
        m_bShowing = false;
    }
    void OnBusy(bool bBusy) override
    {
        if (bBusy)
            Call([&] { m_previous = m_target.SetWaitCursor(); });
        else
            Call([&] { m_target.RestoreCursor(m_previous); });
    }

private:
    void Call(const std::function<void()>& call)
    {
        std::exception_ptr error;
        m_window.Call([&] {
            try
            {
                call();
            }
            catch (...)
            {
                error = std::current_exception();
            }
        });
        if (error)
            std::rethrow_exception(error);
    }

    IWindowThread& m_window;
    platform::INotifier& m_target;
    std::atomic<bool>& m_bShowing;
    platform::CursorHandle m_previous = 0;
};

} // namespace

const char* const CConverterLogic::kStopQuestion =
    "A conversion is in progress. Stop it and close?\n\nThe output file stays as it was.";

CConverterLogic::CConverterLogic() : m_progress(*this) {}

CConverterLogic::~CConverterLogic()
{
    Cancel();
    JoinRun();
    platform::FinishRemovals(); // a stopped run's temporary file is gone before the program
}

void CConverterLogic::OnLod1Chosen(const std::optional<std::string>& path)
{
    if (m_bRunning)
        return;
    if (!path)
    {
        m_strLod1Path.clear();
        m_strLod1Title.clear();
        m_bLod1Selected = false;
        return;
    }
    m_strLod1Path = *path;
    const std::size_t separator = platform::LastSeparator(m_strLod1Path);
    const std::string folder =
        separator == std::string::npos ? std::string() : m_strLod1Path.substr(0, separator);
    m_strLod1Title = platform::FileTitle(
        separator == std::string::npos ? m_strLod1Path : m_strLod1Path.substr(separator + 1));
    m_bLod1Selected = true;
    if (m_strOutputDir.empty() || !m_bKeepOutputDir)
        m_strOutputDir = folder;
}

void CConverterLogic::OnLod2Chosen(const std::optional<std::string>& path)
{
    if (m_bRunning)
        return;
    m_strLod2Path = path.value_or(std::string());
    m_bLod2Selected = path.has_value();
}

void CConverterLogic::OnFolderChosen(const std::optional<std::string>& folder)
{
    if (m_bRunning)
        return;
    if (folder)
        m_strOutputDir = *folder;
}

void CConverterLogic::OnKeepSameDir(bool bChecked)
{
    if (m_bRunning)
        return;
    m_bKeepOutputDir = bChecked;
}

void CConverterLogic::OnSmoothingGroups(bool bChecked)
{
    if (m_bRunning)
        return;
    m_bSmoothingGroups = bChecked;
}

void CConverterLogic::OnCopyTextures(bool bChecked)
{
    if (m_bRunning)
        return;
    m_bCopyTextures = bChecked;
}

void CConverterLogic::OnScaleMode(ScaleMode mode)
{
    if (m_bRunning)
        return;
    m_scaleMode = mode;
}

void CConverterLogic::OnScaleFactorChange(const std::string& text)
{
    if (m_bRunning)
        return;
    m_strScaleFactor = text;
    m_nScaleFactor = ReadUnsignedField(text);
}

void CConverterLogic::OnStartupModel(const std::string& path)
{
    if (m_bRunning)
        return;
    if (const std::string problem = ModelProblem(path); !problem.empty())
        platform::ShowError("Unable to open " + path + ": " + problem);
    else
        OnLod1Chosen(path);
}

ConversionRequest CConverterLogic::BuildRequest() const
{
    ConversionRequest request;
    if (m_bLod1Selected)
        request.lod1Path = m_strLod1Path;
    request.lod1Title = m_strLod1Title;
    if (m_bLod2Selected)
        request.lod2Path = m_strLod2Path;
    request.outputDir = m_strOutputDir;
    request.scaleMode = m_scaleMode;
    request.scaleFactor = m_nScaleFactor;
    request.smoothingGroups = m_bSmoothingGroups;
    request.copyTextures = m_bCopyTextures;
    return request;
}

void CConverterLogic::Convert(IWindowThread& window, std::vector<LoadedModel> loaded)
{
    if (m_bRunning)
    {
        if (IsShowingProgress())
            Cancel();
        return;
    }
    // The user asked for scaling: an empty box, 0 or a number beyond the
    // factor's range would quietly give an unscaled file. The box reads a
    // number beyond 2^31 - 1 as 0 or below, like an empty one, but the
    // user is told which it is.
    if (m_scaleMode != ScaleMode::ScaleNone && m_nScaleFactor < 1)
    {
        const std::size_t first = m_strScaleFactor.find_first_not_of(" \t");
        const std::string digits =
            first == std::string::npos
                ? std::string()
                : m_strScaleFactor.substr(first,
                                          m_strScaleFactor.find_first_not_of("0123456789", first) - first);
        if (digits.find_first_not_of('0') != std::string::npos)
            platform::ShowError("The scale factor " + digits +
                                " is too large: please enter a whole number of at most 2147483647");
        else
            platform::ShowError("Please enter a whole-number scale factor of at least 1");
        return;
    }

    JoinRun();
    m_bCancel = false;
    m_nPermille = 0;
    m_runStart = std::chrono::steady_clock::now();
    m_bRunning = true;
    platform::INotifier& target = platform::Notifier();
    try
    {
        m_worker =
            std::thread([this, &window, &target, request = BuildRequest(), loaded = std::move(loaded)] {
                CWindowHost host(window, target, m_bShowingMessage);
                try
                {
                    RunContext context;
                    context.pHost = &host;
                    context.pProgress = &m_progress;
                    context.pLoaded = &loaded;
                    // The same run as the command line's, of one model: the
                    // host has shown every message by the time it ends.
                    struct COneModel final : IBatchHost
                    {
                        void OnReport(std::size_t, const RunReport&) override {}
                    } batch;
                    RunBatch({request}, 1, nullptr, batch, context);
                }
                catch (...)
                {
                    // Only a message that could not be shown gets here; the
                    // run is over all the same.
                }
                window.Call([this, &window] {
                    m_bRunning = false;
                    window.OnRunEnded();
                });
            });
    }
    catch (const std::system_error& error)
    {
        m_bRunning = false;
        platform::ShowError(std::string("The conversion could not be started: ") + error.what());
    }
}

void CConverterLogic::WaitForRun()
{
    JoinRun();
    platform::FinishRemovals();
}

void CConverterLogic::JoinRun()
{
    if (m_worker.joinable())
        m_worker.join();
}

bool CConverterLogic::ConfirmStop(const std::function<bool()>& ask)
{
    {
        const std::lock_guard lock(m_pauseMutex);
        m_bPaused = true;
    }
    const bool bStop = ask();
    if (bStop)
        Cancel();
    {
        const std::lock_guard lock(m_pauseMutex);
        m_bPaused = false;
    }
    m_resumed.notify_all();
    return bStop;
}

bool CConverterLogic::CRunProgress::Continue(std::uint64_t done, std::uint64_t total)
{
    m_logic.m_nPermille = total ? static_cast<int>(done * 1000 / total) : 0;
    if (m_logic.m_pObserver && !m_logic.m_pObserver->Continue(done, total))
        m_logic.Cancel();
    std::unique_lock lock(m_logic.m_pauseMutex);
    m_logic.m_resumed.wait(lock, [this] { return !m_logic.m_bPaused; });
    return !m_logic.m_bCancel;
}

bool CConverterLogic::IsShowingProgress() const
{
    return m_bRunning && std::chrono::steady_clock::now() - m_runStart >= kQuietTime;
}

std::string CConverterLogic::Title() const
{
    if (!IsShowingProgress() || m_bShowingMessage)
        return kTitle;
    return std::string(kTitle) + " - " + std::to_string(m_nPermille / 10) + "%";
}

const char* CConverterLogic::ConvertCaption() const
{
    if (!IsShowingProgress())
        return "&Convert file";
    return m_bCancel ? "Stopping..." : "Cancel";
}

const char* CConverterLogic::ToolTipText(int id)
{
    switch (id)
    {
    case kIdOpenLod1:
        return "Select a 3ds file to convert LOD 1";
    case kIdOpenLod2:
        return "Select a 3ds file to merge as LOD 2";
    case kIdSetOutputDir:
        return "Select the output directory for the converted file";
    case kIdKeepSameDir:
        return "Prevent from changing the output directory, default is same as input directory";
    case kIdConvert:
        return "Convert the 3ds file(s)";
    case kIdNoScaling:
        return "No scaling will be applied";
    case kIdScaleUp:
        return "Increase the overall size by multiplier factor";
    case kIdScaleDown:
        return "Reduce the overall size by divisor factor";
    case kIdScaleFactor:
        return "Multiplier or divisor for scaling operation";
    case kIdAbout:
        return "Info on this tool";
    case kIdOk:
        return "Close this tool";
    case kIdSmoothingGroups:
        return "Give each face the normals of its smoothing groups, so hard edges stay hard";
    case kIdCopyTextures:
        return "Copy the texture files the project uses into the output folder";
    default:
        return "";
    }
}

std::optional<std::string> CConverterLogic::DroppedModel(const std::vector<std::string>& paths)
{
    if (paths.size() != 1 || !ModelProblem(paths.front()).empty())
        return std::nullopt;
    return paths.front();
}

std::string CConverterLogic::ModelProblem(const std::string& path)
{
    const platform::FileFacts facts = platform::Inspect(path);
    if (!facts.exists)
        return platform::LastFileErrorIsNotFound() || facts.reason.empty() ? "there is no such file"
                                                                           : facts.reason;
    if (!facts.regular)
        return "it is not a file";
    std::string extension = platform::Utf8FromPath(platform::PathFromUtf8(path).extension());
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".3ds" ? std::string() : "it is not a .3ds file";
}

std::int32_t CConverterLogic::ReadUnsignedField(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return 0;
    }
    if (i == first)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}
