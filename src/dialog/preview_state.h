#pragma once

#include "pipeline/conversion_job.h"
#include "render/model_preview.h"
#include "render/renderer.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The preview beside the designed controls, in dialog units, for both
// views: the picture's frame from the top of "File selection" to the
// bottom of "Conversion", its lines below it down to the dialog's bottom
// margin, and the width the window grows by to hold them.
inline constexpr int kPreviewLeft = 259;
inline constexpr int kPreviewTop = 3;
inline constexpr int kPreviewWidth = 151;
inline constexpr int kPreviewHeight = 176;
inline constexpr int kPreviewCaptionTop = 186;
inline constexpr int kPreviewCaptionHeight = 57;
inline constexpr int kPreviewGrowth = kPreviewWidth + 7;

// A key the preview answers when it has the focus.
enum class PreviewKey
{
    Left,
    Right,
    Up,
    Down,
    ZoomIn,
    ZoomOut,
    Home
};

// The preview's state, shared by the Qt and the Win32 view, each of which
// keeps only its widget: which models are shown and which are being read,
// the view the user turned to, and the newest finished picture. Reading
// and drawing run on worker threads, so that a model of any size never
// holds up the window: while the user's hand moves, a reduced model is
// drawn (at most kReducedFaceBudget faces, always the same ones, at half
// the resolution), and once it has rested for kRestMilliseconds the full
// picture, which has the same pixels as a thumbnail of that size and view.
class CPreviewState
{
public:
    // The view turns by kDegreesPerPixel per pixel of a drag, and by
    // kDegreesPerKey per arrow key; the zoom stays within the renderer's
    // bounds, which keep the camera outside the model's bounding sphere.
    static constexpr float kDegreesPerPixel = ViewAngles::kDegreesPerPixel;
    static constexpr float kDegreesPerKey = 15.0f;
    static constexpr float kMinZoom = ViewAngles::kMinZoom;
    static constexpr float kMaxZoom = ViewAngles::kMaxZoom;
    static constexpr float kMinPitch = ViewAngles::kMinPitch;
    static constexpr float kMaxPitch = ViewAngles::kMaxPitch;
    // A reduced picture takes at most 33 ms on this budget (see bench/).
    static constexpr std::size_t kReducedFaceBudget = 20000;
    static constexpr int kRestMilliseconds = 150;
    // What the empty area says.
    static const char* const kHint;

    // wake is called on a worker thread when a read or a picture has
    // finished; the view then calls Collect on its window's thread.
    explicit CPreviewState(std::function<void()> wake);
    // Waits for the drawing thread; a read under way finishes on its own
    // and its result is dropped.
    ~CPreviewState();
    CPreviewState(const CPreviewState&) = delete;
    CPreviewState& operator=(const CPreviewState&) = delete;

    // The models to show; a change starts reading them, and a read under
    // way for other models is no longer awaited.
    void Choose(const std::optional<std::string>& lod1Path, const std::optional<std::string>& lod2Path);
    bool IsReading() const { return m_pPending != nullptr; }
    bool HasModel() const;

    // The models shown, for a conversion to take as read (see
    // LoadedModel); none while they are being read or could not be.
    std::vector<LoadedModel> LoadedModels() const;

    // Takes what the workers finished: true when the view should repaint.
    bool Collect();

    // The area's size in device pixels and its background (RGBA).
    void SetSize(std::int32_t width, std::int32_t height, std::uint32_t background);

    // The user's hand: a drag of dx, dy pixels, a wheel turn (120 a
    // notch, an eighth nearer or further), a key; Reset goes back to the
    // first view. Each moving command draws reduced pictures until the
    // hand rests. OnKey is false for a key the preview does not take.
    void Orbit(int dx, int dy);
    void Zoom(int wheelDelta);
    void Reset();
    bool OnKey(PreviewKey key);
    const ViewAngles& View() const { return m_view; }

    // The newest finished picture (its size may be half the area's while
    // the hand moves), or null when there is none to show.
    const RgbaImage* Picture() const;

    // Under the picture: "Reading the model...", the reason a model could
    // not be read, or its counts and size after scaling by multiplier.
    std::string Caption(float multiplier) const;
    // For screen readers: the file's name and what the picture shows.
    std::string Description() const;

    // Waits until no read or picture is under way; for tests and tools.
    void WaitUntilIdle();

private:
    struct Reading;
    struct Request
    {
        std::shared_ptr<const PreviewModels> pModels;
        ViewAngles view;
        std::int32_t width = 0, height = 0;
        std::uint32_t background = 0;
        bool bMoving = false;
        std::uint64_t serial = 0; // of the models chosen
    };

    void Ask(bool bMoving);
    void DrawLoop();

    struct Wake;
    std::shared_ptr<Wake> m_pWake;
    std::string m_strKey; // the models chosen
    std::string m_strLod1Name;
    std::shared_ptr<Reading> m_pPending;
    std::shared_ptr<const PreviewModels> m_pModels;
    ViewAngles m_view;
    std::int32_t m_nWidth = 0, m_nHeight = 0;
    std::uint32_t m_background = 0;
    std::shared_ptr<const RgbaImage> m_pPicture;

    // Between the window's thread and the drawing thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Request> m_request; // the newest picture wanted
    std::shared_ptr<const RgbaImage> m_pFinished;
    std::uint64_t m_nModelsSerial = 0;
    bool m_bDrawing = false;
    bool m_bStop = false;
    std::thread m_drawer;
};
