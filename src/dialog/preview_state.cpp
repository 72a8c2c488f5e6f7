#include "dialog/preview_state.h"

#include <algorithm>
#include <chrono>
#include <cmath>

const char* const CPreviewState::kHint = "Choose a model to see it here";

// A read for the preview: the reading thread fills it and wakes the view,
// whose window's thread takes the result if the read is still awaited.
struct CPreviewState::Reading
{
    std::mutex mutex;
    std::shared_ptr<const PreviewModels> pResult;
};

// The view's wake call, which a read outlasting the state must not make.
struct CPreviewState::Wake
{
    std::mutex mutex;
    std::function<void()> call;

    void operator()()
    {
        const std::lock_guard lock(mutex);
        if (call)
            call();
    }
};

namespace
{

std::string FileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

CPreviewState::CPreviewState(std::function<void()> wake) : m_pWake(std::make_shared<Wake>())
{
    m_pWake->call = std::move(wake);
    m_drawer = std::thread([this] { DrawLoop(); });
}

CPreviewState::~CPreviewState()
{
    {
        const std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_drawer.join();
    const std::lock_guard lock(m_pWake->mutex);
    m_pWake->call = nullptr;
}

void CPreviewState::Choose(const std::optional<std::string>& lod1Path,
                           const std::optional<std::string>& lod2Path)
{
    const std::string key = lod1Path ? *lod1Path + '\0' + lod2Path.value_or("") : "";
    if (key == m_strKey)
        return;
    m_strKey = key;
    m_strLod1Name = lod1Path ? FileName(*lod1Path) : "";
    m_pPending.reset(); // a read under way is not wanted any more
    m_pModels.reset();
    m_pPicture.reset();
    {
        const std::lock_guard lock(m_mutex);
        m_request.reset();
        m_pFinished.reset();
        ++m_nModelsSerial; // a picture being drawn of the old models is dropped
    }
    if (!lod1Path)
        return;
    m_pPending = std::make_shared<Reading>();
    std::thread([pReading = m_pPending, pWake = m_pWake, lod1 = *lod1Path, lod2 = lod2Path] {
        std::shared_ptr<const PreviewModels> pModels = LoadPreviewModels(lod1, lod2, kReducedFaceBudget);
        {
            const std::lock_guard lock(pReading->mutex);
            pReading->pResult = std::move(pModels);
        }
        (*pWake)();
    }).detach();
}

bool CPreviewState::HasModel() const
{
    return m_pModels && m_pModels->pLod1 && m_pModels->reason.empty();
}

std::vector<LoadedModel> CPreviewState::LoadedModels() const
{
    std::vector<LoadedModel> loaded;
    if (!HasModel())
        return loaded;
    // The paths as chosen: the key holds them, split by a zero byte.
    const std::size_t split = m_strKey.find('\0');
    const std::pair<std::string, const C3dsModel*> models[] = {
        {m_strKey.substr(0, split), m_pModels->pLod1.get()},
        {m_strKey.substr(split + 1), m_pModels->pLod2.get()}};
    const platform::FileFacts* const facts[] = {&m_pModels->lod1Facts, &m_pModels->lod2Facts};
    const std::vector<platform::Message>* const messages[] = {&m_pModels->lod1Messages,
                                                              &m_pModels->lod2Messages};
    for (std::size_t i = 0; i < 2; ++i)
    {
        if (!models[i].second)
            continue;
        // Each shares in the whole of the preview's models, which thus
        // outlive a run that outlasts the choice.
        loaded.push_back({models[i].first, *facts[i],
                          std::shared_ptr<const C3dsModel>(m_pModels, models[i].second), *messages[i]});
    }
    return loaded;
}

bool CPreviewState::Collect()
{
    bool bChanged = false;
    if (m_pPending)
    {
        std::shared_ptr<const PreviewModels> pResult;
        {
            const std::lock_guard lock(m_pPending->mutex);
            pResult = m_pPending->pResult;
        }
        if (pResult)
        {
            m_pPending.reset();
            m_pModels = std::move(pResult);
            bChanged = true;
            Ask(false);
        }
    }
    const std::lock_guard lock(m_mutex);
    if (m_pFinished)
    {
        m_pPicture = std::move(m_pFinished);
        bChanged = true;
    }
    return bChanged;
}

void CPreviewState::SetSize(std::int32_t width, std::int32_t height, std::uint32_t background)
{
    if (width == m_nWidth && height == m_nHeight && background == m_background)
        return;
    m_nWidth = width;
    m_nHeight = height;
    m_background = background;
    Ask(false);
}

void CPreviewState::Orbit(int dx, int dy)
{
    m_view.Orbit(dx, dy);
    Ask(true);
}

void CPreviewState::Zoom(int wheelDelta)
{
    m_view.Zoom(wheelDelta);
    Ask(true);
}

void CPreviewState::Reset()
{
    m_view = ViewAngles{};
    Ask(false);
}

bool CPreviewState::OnKey(PreviewKey key)
{
    // A key turns by as much as a drag of this many pixels.
    constexpr int kStep = static_cast<int>(kDegreesPerKey / kDegreesPerPixel);
    switch (key)
    {
    case PreviewKey::Left:
        Orbit(kStep, 0);
        return true;
    case PreviewKey::Right:
        Orbit(-kStep, 0);
        return true;
    case PreviewKey::Up:
        Orbit(0, kStep);
        return true;
    case PreviewKey::Down:
        Orbit(0, -kStep);
        return true;
    case PreviewKey::ZoomIn:
        Zoom(120);
        return true;
    case PreviewKey::ZoomOut:
        Zoom(-120);
        return true;
    case PreviewKey::Home:
        Reset();
        return true;
    }
    return false;
}

const RgbaImage* CPreviewState::Picture() const
{
    return HasModel() ? m_pPicture.get() : nullptr;
}

std::string CPreviewState::Caption(float multiplier) const
{
    if (m_pPending)
        return "Reading the model...";
    return m_pModels ? PreviewCaption(*m_pModels, multiplier) : std::string();
}

std::string CPreviewState::Description() const
{
    if (!HasModel())
        return m_pPending ? "Reading the model" : kHint;
    const ModelCounts counts = CountModel(*m_pModels->pLod1);
    const auto count = [](std::int32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return m_strLod1Name + ": " + count(counts.meshes, "mesh", "meshes") + ", " +
           count(counts.faces, "face", "faces") + "; textures " +
           std::to_string(m_pModels->textures.m_nFoundCount) + " found";
}

void CPreviewState::Ask(bool bMoving)
{
    if (!HasModel() || m_nWidth <= 0 || m_nHeight <= 0)
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_request = Request{m_pModels, m_view, m_nWidth, m_nHeight, m_background, bMoving, m_nModelsSerial};
    }
    m_changed.notify_all();
}

void CPreviewState::WaitUntilIdle()
{
    for (;;)
    {
        if (m_pPending)
        {
            const std::lock_guard lock(m_pPending->mutex);
            if (!m_pPending->pResult)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
        }
        Collect();
        const std::lock_guard lock(m_mutex);
        if (!m_pPending && !m_request && !m_bDrawing)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Collect();
}

void CPreviewState::DrawLoop()
{
    CRenderer renderer;
    std::unique_lock lock(m_mutex);
    for (;;)
    {
        m_changed.wait(lock, [this] { return m_bStop || m_request; });
        if (m_bStop)
            return;
        Request request = std::move(*m_request);
        m_request.reset();
        m_bDrawing = true;
        lock.unlock();

        const PreviewModels& models = *request.pModels;
        auto pImage = std::make_shared<RgbaImage>();
        if (request.bMoving)
        {
            // Half the resolution and a reduced model, so that a frame of
            // any model keeps up with the hand.
            pImage->width = std::max(1, request.width / 2);
            pImage->height = std::max(1, request.height / 2);
            const C3dsModel& lod1 = models.pReducedLod1 ? *models.pReducedLod1 : *models.pLod1;
            const C3dsModel* pLod2 = models.pReducedLod2 ? models.pReducedLod2.get() : models.pLod2.get();
            renderer.Draw(lod1, pLod2, models.textures, request.view, *pImage, request.background);
        }
        else
        {
            pImage->width = request.width;
            pImage->height = request.height;
            renderer.Draw(*models.pLod1, models.pLod2.get(), models.textures, request.view, *pImage,
                          request.background);
        }

        lock.lock();
        m_bDrawing = false;
        if (request.serial != m_nModelsSerial)
            continue; // of models no longer chosen
        m_pFinished = std::move(pImage);
        if (request.bMoving && !m_request)
        {
            // The full picture once the hand has rested.
            m_bDrawing = true; // for WaitUntilIdle: the full picture is still to come
            m_changed.wait_for(lock, std::chrono::milliseconds(kRestMilliseconds),
                               [this] { return m_bStop || m_request; });
            m_bDrawing = false;
            if (!m_request && !m_bStop && request.serial == m_nModelsSerial)
            {
                request.bMoving = false;
                m_request = std::move(request);
            }
        }
        lock.unlock();
        (*m_pWake)();
        lock.lock();
    }
}
