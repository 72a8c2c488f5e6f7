#pragma once

#include "pipeline/conversion_job.h"
#include "platform/progress.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The thread of a view's window, as a run on a worker thread reaches it.
class IWindowThread
{
public:
    virtual ~IWindowThread() = default;
    // Runs call on the window's thread and returns once it has run there:
    // a message box of the run is answered before the run goes on.
    virtual void Call(const std::function<void()>& call) = 0;
    // The run has ended; called on the window's thread (through Call).
    virtual void OnRunEnded() = 0;
};

// The main dialog's choices and rules, for every desktop view: what the user
// chose, what is enabled when, the keep-same-folder rule, the title and the
// folder taken from a chosen file, the scale factor as read from its box,
// and the request that Convert hands to the job. A view makes the controls,
// forwards the user's commands here and shows the state it reads back.
// Paths are UTF-8.
class CConverterLogic
{
public:
    CConverterLogic();
    // Stops a run still in progress and waits for it. The view ends a run
    // before it goes (see ConfirmStop), since the run calls its window.
    ~CConverterLogic();
    CConverterLogic(const CConverterLogic&) = delete;
    CConverterLogic& operator=(const CConverterLogic&) = delete;

    // The LOD 1 chooser ended: the chosen file, or none when it was cancelled
    // (which drops the LOD 1 choice but keeps LOD 2 and the folder).
    void OnLod1Chosen(const std::optional<std::string>& path);
    // The LOD 2 chooser ended; a cancel drops the LOD 2 choice only.
    void OnLod2Chosen(const std::optional<std::string>& path);
    // The folder browser ended; none leaves the output folder as it was.
    void OnFolderChosen(const std::optional<std::string>& folder);
    void OnKeepSameDir(bool bChecked);
    // The two check boxes below the "Conversion" group; both go into the
    // request.
    void OnSmoothingGroups(bool bChecked);
    void OnCopyTextures(bool bChecked);
    void OnScaleMode(ScaleMode mode);
    // The scale factor box's text changed.
    void OnScaleFactorChange(const std::string& text);

    // A model named when the program started ("Open with", a file dropped
    // on the program): chosen as LOD 1 when a drop would take it; else the
    // user is told why and nothing is chosen.
    void OnStartupModel(const std::string& path);

    // Runs the conversion of the current choices on a worker thread, so
    // that the window stays alive; the job tells the user the outcome
    // through the notifier of the calling (the window's) thread, each
    // message on that thread, and the choices stay as they are. With
    // scaling chosen, a factor below 1 (an empty box, 0) or beyond 2^31 - 1
    // is refused before anything is loaded. While a run is in progress
    // every choice and command is refused; the Convert button then stops
    // the run, once it shows "Cancel". A model of loaded (the preview's)
    // serves the run in place of a fresh read when the job allows it.
    void Convert(IWindowThread& window, std::vector<LoadedModel> loaded = {});
    bool IsRunning() const { return m_bRunning; }
    // Asks the run to stop: the output stays as it was and no temporary
    // file remains. The run ends soon after, without a further message.
    void Cancel() { m_bCancel = true; }
    // Asks the user whether to stop the run (ask is true for Yes), with the
    // run held at its next step meanwhile, so that it neither ends nor
    // reports under the question. Yes stops it as Cancel does.
    bool ConfirmStop(const std::function<bool()>& ask);
    // Waits until a run has ended and a stopped run's temporary file is
    // gone (its removal may go on after the run reports its end); for
    // windows whose thread is not needed by the run (tests).
    void WaitForRun();
    // A progress told of every step of the next runs, whose false stops
    // the run as Cancel does; for tests and benchmarks, which stop a run
    // at a chosen step and time how soon it ends. Null for none.
    void SetProgressObserver(IProgress* pObserver) { m_pObserver = pObserver; }
    ConversionRequest BuildRequest() const;

    // What a close during a run asks the user (Yes stops the run).
    static const char* const kStopQuestion;
    // The window's caption: during a run that has taken half a second,
    // with how far it is ("... - 42%").
    std::string Title() const;
    // The Convert button's caption: "Cancel" while the run shows its
    // progress, "Stopping..." (and the button grey) once it was asked to
    // stop, until it has.
    const char* ConvertCaption() const;

    const std::string& Lod1Path() const { return m_strLod1Path; }
    const std::string& Lod2Path() const { return m_strLod2Path; }
    const std::string& OutputDir() const { return m_strOutputDir; }
    ScaleMode GetScaleMode() const { return m_scaleMode; }
    bool IsConvertEnabled() const { return m_bRunning ? IsShowingProgress() && !m_bCancel : m_bLod1Selected; }
    bool IsLod2ChooserEnabled() const { return m_bLod1Selected && !m_bRunning; }
    bool IsScaleFactorEnabled() const { return m_scaleMode != ScaleMode::ScaleNone && !m_bRunning; }
    // Every other control but "E&xit": off during a run.
    bool IsChoiceEnabled() const { return !m_bRunning; }

    // The tooltip of a control; empty for controls that show none.
    static const char* ToolTipText(int id);
    // What a drop chooses as the LOD 1 file: the one dropped path when it
    // is a regular file whose extension is .3ds in any letter case.
    static std::optional<std::string> DroppedModel(const std::vector<std::string>& paths);
    // Why a path cannot be a model to choose; empty when it can.
    static std::string ModelProblem(const std::string& path);
    // A text read the way a Windows dialog reads an unsigned number from an
    // edit box: leading blanks skipped, then decimal digits; 0 when there
    // are none or the number does not fit 32 bits. The bits are taken as
    // signed.
    static std::int32_t ReadUnsignedField(const std::string& text);

private:
    // The run's view of the user's wish to stop, and how far it is.
    class CRunProgress final : public IProgress
    {
    public:
        explicit CRunProgress(CConverterLogic& logic) : m_logic(logic) {}
        bool Continue(std::uint64_t done, std::uint64_t total) override;

    private:
        CConverterLogic& m_logic;
    };

    bool IsShowingProgress() const;
    void JoinRun();

    std::string m_strLod1Path;
    std::string m_strLod1Title;
    std::string m_strLod2Path;
    std::string m_strOutputDir;
    bool m_bLod1Selected = false;
    bool m_bLod2Selected = false;
    bool m_bKeepOutputDir = false;
    bool m_bSmoothingGroups = false;
    bool m_bCopyTextures = false;
    std::int32_t m_nScaleFactor = 0;
    ScaleMode m_scaleMode = ScaleMode::ScaleNone;
    std::string m_strScaleFactor; // the box's text, for what is wrong with it

    CRunProgress m_progress;
    std::thread m_worker;
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bShowingMessage{false}; // a message box of the run is up
    IProgress* m_pObserver = nullptr;
    std::atomic<int> m_nPermille{0};
    std::mutex m_pauseMutex;
    std::condition_variable m_resumed;
    bool m_bPaused = false; // the user is asked whether to stop
    std::chrono::steady_clock::time_point m_runStart;
};
