#pragma once

#include "platform/messages.h"
#include "platform/progress.h"

#include <cstdint>
#include <optional>
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
// Vantrel project file. Reads the models without changing or owning them:
// the caller keeps them alive for the writer's lifetime, and has checked
// that the LOD 2 model has no more meshes than the LOD 1 model.
class CProjectWriter
{
public:
    // Builds the texture table of the two models.
    CProjectWriter(const std::string& outputPath, const C3dsModel* pLod1, const C3dsModel* pLod2);

    // Writes the whole file. False with the reason in log: the file cannot
    // be created, or writing it failed (none when the progress stopped it). A file at the path is
    // replaced only when the new one was written completely.
    [[nodiscard]] bool Write(platform::CMessageLog& log);

    // Positions written multiplied, as Scale would have multiplied them,
    // for models that others share and so are not scaled in place.
    void SetMultiplier(float multiplier) { m_multiplier = multiplier; }

    // Asked between blocks of the text whether to go on; none by default.
    void SetProgress(IProgress* pProgress) { m_pProgress = pProgress; }
    // The last write was stopped by its IProgress.
    bool IsStopped() const { return m_bStopped; }

    // The project text to any sink, for callers that want it elsewhere than
    // in a file; false when the sink fails.
    [[nodiscard]] bool WriteTo(IByteSink& sink, platform::CMessageLog& log);

    // The texture file names: each LOD 1 material's, duplicates included,
    // then each LOD 2 name not listed yet; "default.bmp" stands for a
    // material without a texture.
    std::vector<TextureEntry> m_textures;

private:
    void WarnOfLineBreaks(platform::CMessageLog& log) const;
    [[nodiscard]] bool Emit(IByteSink& sink);

    const C3dsModel* m_pLod1;
    const C3dsModel* m_pLod2;
    std::string m_szOutputPath; // held whole, whatever its length
    std::int32_t m_nTextureCount = 0;
    bool m_bHasLod2;
    IProgress* m_pProgress = nullptr;
    bool m_bStopped = false;
    std::optional<float> m_multiplier;
};
