#pragma once

#include <cstdint>
#include <string>
#include <vector>

class C3dsModel;
class IByteSink;
struct MaterialEntry;
struct MeshObject;

// One name of the texture table.
struct TextureEntry
{
    std::string name;
};

// Writes a loaded LOD 1 model, and a LOD 2 model when there is one, as a
// Vantrel project file. Refers to the models without owning them: the
// caller keeps them alive for the writer's lifetime.
class CProjectWriter
{
public:
    CProjectWriter(const std::string& outputPath, C3dsModel* pLod1, C3dsModel* pLod2);

    // Builds the texture table and writes the whole file. False after the
    // user has been told why: the LOD 2 model has more meshes, the file
    // cannot be created, or writing it failed. A file at the path is
    // replaced only when the new one was written completely.
    [[nodiscard]] bool Write();

    // The project text to any sink, for callers that want it elsewhere than
    // in a file. Builds the texture table first; false when the sink fails.
    [[nodiscard]] bool WriteTo(IByteSink& sink);

    // Collects the texture file names of both models; gives each material
    // without a texture "default.bmp". Runs once per writer.
    void BuildTextureTable();

    // Multiplies every vertex position of both models by factor (mode 1) or
    // by the single-precision reciprocal of factor (mode 2); other modes do
    // nothing. False, with the models untouched, for a factor of 0 or below,
    // and for one that would take a coordinate beyond the range of a float
    // (then after telling the user).
    [[nodiscard]] bool ScaleModels(int mode, float factor);

    C3dsModel* m_pLod1;
    C3dsModel* m_pLod2;
    std::vector<TextureEntry> m_textures;
    std::string m_szOutputPath; // held whole, whatever its length
    std::int32_t m_nTextureCount = 0;
    bool m_bHasLod2;

private:
    [[nodiscard]] bool CheckLod2MeshCount() const;
    void WarnOfLineBreaks() const;
    [[nodiscard]] bool Emit(IByteSink& sink) const;

    bool m_bTableBuilt = false;
};
