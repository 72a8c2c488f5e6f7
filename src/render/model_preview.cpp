#include "render/model_preview.h"

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "render/thumbnail.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace
{

// Loads a model without showing anything: the first error is the reason.
std::unique_ptr<C3dsModel> LoadQuietly(const std::string& path, std::string& reason)
{
    platform::CMessageLog log;
    auto pModel = std::make_unique<C3dsModel>();
    if (pModel->Load(path.c_str(), log))
    {
        pModel->ComputeNormals();
        return pModel;
    }
    reason = log.FirstError().empty() ? "The model could not be read: " + path : log.FirstError();
    return nullptr;
}

std::string Number(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 4);
    return std::string(text, result.ptr);
}

std::string CountLine(const char* lod, const C3dsModel& model)
{
    const ModelCounts counts = CountModel(model);
    const auto count = [](std::int32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return std::string(lod) + ": " + count(counts.meshes, "mesh", "meshes") + ", " +
           count(counts.faces, "face", "faces") + ", " + count(counts.vertices, "vertex", "vertices");
}

} // namespace

std::unique_ptr<PreviewModels> LoadPreviewModels(const std::string& lod1Path,
                                                 const std::optional<std::string>& lod2Path)
{
    auto pModels = std::make_unique<PreviewModels>();
    try
    {
        pModels->pLod1 = LoadQuietly(lod1Path, pModels->reason);
        if (pModels->pLod1 && lod2Path)
            pModels->pLod2 = LoadQuietly(*lod2Path, pModels->reason);
        if (pModels->pLod1)
            pModels->textures.Load(*pModels->pLod1, ParentFolder(lod1Path));
        if (pModels->pLod2)
            pModels->textures.Load(*pModels->pLod2, ParentFolder(*lod2Path));
    }
    catch (const std::bad_alloc&)
    {
        pModels = std::make_unique<PreviewModels>();
        pModels->reason = "There is not enough memory to show the model.";
    }
    return pModels;
}

CModelPreview::CModelPreview() = default;
CModelPreview::~CModelPreview() = default;

void CModelPreview::SetModels(std::shared_ptr<const PreviewModels> pModels)
{
    m_pModels = std::move(pModels);
}

bool CModelPreview::HasPicture() const
{
    return m_pModels && m_pModels->pLod1 && m_pModels->reason.empty();
}

void CModelPreview::Orbit(int dx, int dy)
{
    // Half a degree per pixel: a drag across the area turns the model round.
    m_view.yawDegrees = std::fmod(m_view.yawDegrees - dx * 0.5f, 360.0f);
    m_view.pitchDegrees = std::clamp(m_view.pitchDegrees + dy * 0.5f, -110.0f, 60.0f);
}

void CModelPreview::Zoom(int wheelDelta)
{
    m_view.zoom = std::clamp(m_view.zoom * (1.0f + wheelDelta / 960.0f), 0.25f, 2.0f);
}

void CModelPreview::Draw(RgbaImage& image, std::uint32_t background)
{
    if (HasPicture())
        m_renderer.Draw(*m_pModels->pLod1, m_pModels->pLod2.get(), m_pModels->textures, m_view, image,
                        background);
}

std::string CModelPreview::Caption(float multiplier) const
{
    if (!m_pModels)
        return {};
    if (!HasPicture())
        return m_pModels->reason;
    std::string caption = CountLine("LOD 1", *m_pModels->pLod1);
    if (m_pModels->pLod2)
        caption.append("\n").append(CountLine("LOD 2", *m_pModels->pLod2));
    caption += "\nTextures: " + std::to_string(m_pModels->textures.m_nFoundCount) + " found, " +
               std::to_string(m_pModels->textures.m_nMissingCount) + " missing";
    for (const std::string& note : m_pModels->textures.m_notes)
        caption.append("\n").append(note);

    Vector3 low, high;
    if (!ModelBounds(*m_pModels->pLod1, low, high))
        return caption;
    caption += "\nSize: " + Number((static_cast<double>(high.x) - low.x) * multiplier) + " x " +
               Number((static_cast<double>(high.y) - low.y) * multiplier) + " x " +
               Number((static_cast<double>(high.z) - low.z) * multiplier);
    return caption;
}
