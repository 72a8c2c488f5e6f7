#pragma once

#include "pipeline/run_report.h"
#include "platform/file_system.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class C3dsModel;
class CProjectWriter;
class CRunGuard;
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
    std::int32_t pictureSize = 0; // a picture of the models beside the project file, size x size; 0: none
    bool writeProject = true;     // false: the picture alone
};

// A model read before the run (the desktop preview's), which serves the
// run in place of a fresh read while its file is as it was when read, so
// that a big model is held in memory once.
struct LoadedModel
{
    std::string path;
    platform::FileFacts facts; // the file's when it was read: it had not changed during the read
    std::shared_ptr<const C3dsModel> pModel; // as Load left it, then ComputeNormals; nothing else
    std::vector<platform::Message> messages; // what Load said of it
};

// What a run may use besides the request: all optional.
struct RunContext
{
    IRunHost* pHost = nullptr;      // hears each message as it is found
    IProgress* pProgress = nullptr; // asked whether to go on; a run it stops changes no file
    CRunGuard* pGuard = nullptr;    // the inputs and outputs of the whole run; none: this conversion's own
    const IPicturePainter* pPainter = nullptr; // draws the picture when one is asked for
    bool bDrawBeside = false; // a processor is spare: the picture is drawn while the project is written
    // Models read already: one serves its path when the smoothing groups
    // (or scaling for a picture) would not change it, and its file has the
    // identity, size and time of change it had when read.
    const std::vector<LoadedModel>* pLoaded = nullptr;
};

// One conversion from .3ds to .vnp, reported from start to end.
class ConversionJob
{
public:
    ConversionJob();
    ~ConversionJob();
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;

    // Loads the LOD 1 file (and the LOD 2 file), scales, writes the project
    // file (and the picture and texture copies asked for) and closes with
    // "Conversion succeeded!" or "Conversion failed". Nothing escapes: the
    // report holds every message, in the order the host heard them, and
    // the job holds no model or writer afterwards. A run started while one
    // is in progress (from a message box's loop) is refused at once: it
    // would release the models the first one holds.
    RunReport Run(const ConversionRequest& request, const RunContext& context = {});

    // The project file for a LOD 1 title: the output directory, one
    // separator, the title and ".vnp" lower-cased. The folder keeps the
    // spelling the user gave: on a folder that tells case apart (Linux,
    // and Windows where it is enabled) another spelling is another folder.
    static std::string OutputPath(const std::string& outputDir, const std::string& lod1Title);

    // The picture beside a project file: its name with ".png" for ".vnp".
    static std::string PicturePath(const std::string& projectPath);

    // What scaling multiplies the coordinates by; none for no scaling, and
    // for a factor of 0 or below, which is passed over.
    static std::optional<float> Multiplier(ScaleMode mode, std::int32_t factor);

private:
    // How far a conversion got.
    enum class Step
    {
        Loaded, // the models are loaded and have materials: the run goes on
        Ended,  // the outcome in the report is final
    };

    void Convert(const ConversionRequest& request, const RunContext& context, CRunGuard& guard,
                 platform::CMessageLog& log, RunReport& report);
    Step LoadModel(std::unique_ptr<C3dsModel>& pModel, std::shared_ptr<const C3dsModel>& pLoaded,
                   const std::string& path, const char* noMaterials, const ConversionRequest& request,
                   const RunContext& context, platform::CMessageLog& log, RunReport& report);
    void WritePicture(const std::string& path, const std::vector<unsigned char>& png,
                      const std::string& model, CRunGuard& guard, platform::CMessageLog& log,
                      RunReport& report);
    void Release();

    // The writer refers to the models, so it is declared after them and
    // released before them. A model is the run's own, which scaling may
    // change, or one read before the run, which nothing changes.
    std::unique_ptr<C3dsModel> m_pLod1;
    std::unique_ptr<C3dsModel> m_pLod2;
    std::shared_ptr<const C3dsModel> m_pLoadedLod1;
    std::shared_ptr<const C3dsModel> m_pLoadedLod2;
    std::unique_ptr<CProjectWriter> m_pWriter;
    bool m_bRunning = false;
};
