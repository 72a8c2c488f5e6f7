#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class C3dsModel;
class CProjectWriter;
class CTextureClaims;
class IProgress;

enum class ScaleMode : std::int32_t
{
    ScaleNone = 0,
    ScaleUp = 1,
    ScaleDown = 2,
};

// The user's choices at the moment Convert is pressed.
struct ConversionRequest
{
    std::optional<std::string> lod1Path; // none: no LOD 1 file chosen
    std::string lod1Title;               // the LOD 1 file's name cut before its last "."
    std::optional<std::string> lod2Path; // none: no LOD 2 file chosen
    std::string outputDir;
    ScaleMode scaleMode = ScaleMode::ScaleNone;
    std::int32_t scaleFactor = 0; // 0 when the field is empty or unreadable
    bool smoothingGroups = false; // corners shaded by the faces' smoothing groups
    bool copyTextures = false;    // the textures found beside the models go to the output folder too
};

// One conversion from .3ds to .vnp, reported to the user from start to end.
class ConversionJob
{
public:
    ConversionJob();
    ~ConversionJob();
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;

    // Loads the LOD 1 file (and the LOD 2 file), scales, writes the project
    // file and tells the user the outcome. The path of the file written, or
    // none when nothing was. Nothing escapes: every failure has been shown
    // by then, and the job holds no model or writer afterwards. A progress
    // is asked between the steps and during the write whether to go on; a
    // run it stops ends without a further message and changes no file. A
    // run started while one is in progress (from a message box's loop) is
    // refused at once: it would release the models the first one holds.
    std::optional<std::string> Run(const ConversionRequest& request, IProgress* pProgress = nullptr);

    // Asked, once the models are loaded, whether the run may write to the
    // output path; false after it has told the user why not. A batch uses
    // it to keep its outputs apart and off its inputs.
    using OutputCheck = std::function<bool(const std::string& outputPath)>;
    void SetOutputCheck(OutputCheck check) { m_outputCheck = std::move(check); }

    // The project file for a LOD 1 title: the output directory, one
    // separator, the title and ".vnp" lower-cased. The folder keeps the
    // spelling the user gave: on a folder that tells case apart (Linux,
    // and Windows where it is enabled) another spelling is another folder.
    static std::string OutputPath(const std::string& outputDir, const std::string& lod1Title);

    // What scaling multiplies the coordinates by; none for no scaling, and
    // for a factor of 0 or below, which is passed over.
    static std::optional<float> Multiplier(ScaleMode mode, std::int32_t factor);

    // What else a run makes of its models, so that nothing reads them
    // twice: called with the models loaded, scaled and checked, and the
    // project file's path, once the file was written or, when bWriteProject
    // is false, in its place. Without a project file the run succeeds
    // quietly (no "Conversion succeeded!") when the call returns true.
    using ModelUse =
        std::function<bool(const C3dsModel& lod1, const C3dsModel* pLod2, const std::string& outputPath)>;
    void SetModelUse(ModelUse use, bool bWriteProject)
    {
        m_use = std::move(use);
        m_bWriteProject = bWriteProject;
    }

    // Called, when set, on a thread of its own while the project file is
    // written, with the same models (which the writer only reads), and
    // waited for before the run goes on: work for the model use that a
    // spare processor can do meanwhile. Not called without a project file.
    using ModelPreparation = std::function<void(const C3dsModel& lod1, const C3dsModel* pLod2)>;
    void SetModelPreparation(ModelPreparation prepare) { m_prepare = std::move(prepare); }

    // The texture copies of the other conversions of the run, which a copy
    // of this one must not replace (see CopyTextures); without them, those
    // of this run's two models only.
    void SetTextureClaims(CTextureClaims* pClaims) { m_pTextureClaims = pClaims; }

private:
    enum class Outcome
    {
        Loaded, // a model is loaded and has materials: the run goes on
        Written,
        Failed,  // the user is told "Conversion failed" at the end
        Refused, // the user has been told why; nothing more to say
    };

    Outcome Convert(const ConversionRequest& request, IProgress* pProgress, std::string& writtenPath);
    Outcome LoadModel(std::unique_ptr<C3dsModel>& pModel, const std::string& path, const char* noMaterials,
                      bool bSmoothingGroups);
    void Release();

    // The writer refers to the models, so it is declared after them and
    // released before them.
    std::unique_ptr<C3dsModel> m_pLod1;
    std::unique_ptr<C3dsModel> m_pLod2;
    std::unique_ptr<CProjectWriter> m_pWriter;
    OutputCheck m_outputCheck;
    ModelUse m_use;
    ModelPreparation m_prepare;
    CTextureClaims* m_pTextureClaims = nullptr;
    bool m_bWriteProject = true;
    bool m_bRunning = false;
};

// Reads text as a whole number from first to last (decimal digits only: no
// sign, blank or "0x"; leading zeros are allowed) between least and most.
// None when it is not one, with the reason in problem: "is not a whole
// number", "must be at least N", "is too large (at most N)".
std::optional<std::int64_t> ReadWholeNumber(const std::string& text, std::int64_t least, std::int64_t most,
                                            std::string& problem);

// The title of a file for ConversionRequest::lod1Title: its name cut
// before the last "."; a name without "." whole.
std::string FileTitle(const std::string& fileName);
