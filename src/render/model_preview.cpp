#include "render/model_preview.h"

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "platform/console_text.h"
#include "render/thumbnail.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace
{

// Loads a model without showing anything: the first error is the reason.
// The file's facts are kept only when they were the same before and after
// the read, so that a file written meanwhile is never taken for the one
// read.
std::unique_ptr<C3dsModel> LoadQuietly(const std::string& path, std::string& reason,
                                       platform::FileFacts& facts, std::vector<platform::Message>& messages)
{
    platform::CMessageLog log;
    auto pModel = std::make_unique<C3dsModel>();
    const platform::FileFacts before = platform::Inspect(path);
    if (pModel->Load(path.c_str(), log))
    {
        pModel->ComputeNormals();
        const platform::FileFacts after = platform::Inspect(path);
        if (platform::Unchanged(before, after))
            facts = before;
        messages = log.Take();
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
                                                 const std::optional<std::string>& lod2Path,
                                                 std::size_t faceBudget)
{
    auto pModels = std::make_unique<PreviewModels>();
    try
    {
        pModels->pLod1 = LoadQuietly(lod1Path, pModels->reason, pModels->lod1Facts, pModels->lod1Messages);
        if (pModels->pLod1 && lod2Path)
            pModels->pLod2 =
                LoadQuietly(*lod2Path, pModels->reason, pModels->lod2Facts, pModels->lod2Messages);
        if (pModels->pLod1)
            pModels->textures.Load(*pModels->pLod1, ParentFolder(lod1Path));
        if (pModels->pLod2)
            pModels->textures.Load(*pModels->pLod2, ParentFolder(*lod2Path));
        // Two models share the budget, so that a reduced frame of both
        // costs what one of a single model does.
        const std::size_t share = pModels->pLod2 ? faceBudget / 2 : faceBudget;
        if (pModels->pLod1)
            pModels->pReducedLod1 = ReduceModel(*pModels->pLod1, share);
        if (pModels->pLod2)
            pModels->pReducedLod2 = ReduceModel(*pModels->pLod2, share);
    }
    catch (const std::bad_alloc&)
    {
        pModels = std::make_unique<PreviewModels>();
        pModels->reason = "There is not enough memory to show the model.";
    }
    return pModels;
}

std::unique_ptr<C3dsModel> ReduceModel(const C3dsModel& model, std::size_t faceBudget)
{
    std::size_t faceCount = 0;
    for (const MeshObject& mesh : model.m_meshes)
        faceCount += mesh.Data().faces.size();
    if (faceCount <= faceBudget || faceBudget == 0)
        return nullptr;
    const std::size_t stride = (faceCount + faceBudget - 1) / faceBudget;

    auto pReduced = std::make_unique<C3dsModel>();
    pReduced->m_materials = model.m_materials;
    pReduced->m_nMaterialCount = model.m_nMaterialCount;
    std::vector<std::int32_t> newIndex; // per vertex of a mesh: its number in the copy, -1 for none
    std::size_t globalFace = 0;
    for (const MeshObject& mesh : model.m_meshes)
    {
        MeshObject copy;
        copy.name = mesh.name;
        copy.mirrored = mesh.mirrored;
        const MeshData& from = mesh.Data();
        MeshData& to = copy.Data();
        newIndex.assign(from.vertices.size(), -1);
        const bool bMapped = mesh.mapCoordCount > 0 && from.mapCoords.size() == from.vertices.size();
        const bool bCorners = from.cornerNormals.size() == from.faces.size() * 3;
        // The first face of this mesh that falls on the stride.
        std::size_t f = (stride - globalFace % stride) % stride;
        for (; f < from.faces.size(); f += stride)
        {
            FaceEntry face = from.faces[f];
            if (std::any_of(std::begin(face.vertexIndex), std::end(face.vertexIndex),
                            [&](std::uint32_t index) { return index >= from.vertices.size(); }))
                continue; // the reader refuses such a face; a copy made by hand may hold one
            for (std::uint32_t& index : face.vertexIndex)
            {
                std::int32_t& mapped = newIndex[index];
                if (mapped < 0)
                {
                    mapped = static_cast<std::int32_t>(to.vertices.size());
                    to.vertices.push_back(from.vertices[index]);
                    to.vertexNormals.push_back(index < from.vertexNormals.size() ? from.vertexNormals[index]
                                                                                 : Vector3{});
                    if (bMapped)
                        to.mapCoords.push_back(from.mapCoords[index]);
                }
                index = static_cast<std::uint32_t>(mapped);
            }
            to.faces.push_back(face);
            if (f < from.faceNormals.size())
                to.faceNormals.push_back(from.faceNormals[f]);
            if (bCorners)
                to.cornerNormals.insert(to.cornerNormals.end(), from.cornerNormals.begin() + 3 * f,
                                        from.cornerNormals.begin() + 3 * f + 3);
        }
        globalFace += from.faces.size();
        copy.vertexCount = static_cast<std::int32_t>(to.vertices.size());
        copy.faceCount = static_cast<std::int32_t>(to.faces.size());
        copy.mapCoordCount = bMapped ? copy.vertexCount : 0;
        pReduced->m_meshes.push_back(std::move(copy));
    }
    Vector3 low, high;
    if (ModelBounds(model, low, high))
    {
        MeshObject box;
        box.Data().vertices = {low, high};
        box.Data().vertexNormals = {Vector3{0, 0, 1}, Vector3{0, 0, 1}};
        box.vertexCount = 2;
        pReduced->m_meshes.push_back(std::move(box));
    }
    pReduced->m_nMeshCount = static_cast<std::int32_t>(pReduced->m_meshes.size());
    return pReduced;
}

std::string PreviewCaption(const PreviewModels& models, float multiplier)
{
    // Names come from files: shown as a message box shows them.
    if (!models.pLod1 || !models.reason.empty())
        return platform::BoxText(models.reason);
    std::string caption = CountLine("LOD 1", *models.pLod1);
    if (models.pLod2)
        caption.append("\n").append(CountLine("LOD 2", *models.pLod2));
    const CTextureSet& textures = models.textures;
    caption += "\nTextures: " + std::to_string(textures.m_nFoundCount) + " found" +
               (textures.m_nUndrawableCount > 0
                    ? " (" + std::to_string(textures.m_nUndrawableCount) + " not drawable)"
                    : std::string()) +
               ", " + std::to_string(textures.m_nMissingCount) + " missing";
    for (const std::string& note : models.textures.m_notes)
        caption.append("\n").append(note);

    Vector3 low, high;
    if (!ModelBounds(*models.pLod1, low, high))
        return platform::BoxText(caption);
    caption += "\nSize: " + Number((static_cast<double>(high.x) - low.x) * multiplier) + " x " +
               Number((static_cast<double>(high.y) - low.y) * multiplier) + " x " +
               Number((static_cast<double>(high.z) - low.z) * multiplier);
    return platform::BoxText(caption);
}
