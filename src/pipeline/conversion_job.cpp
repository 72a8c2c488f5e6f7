#include "pipeline/conversion_job.h"

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "platform/file_system.h"
#include "platform/notifier.h"
#include "platform/text_path.h"
#include "writer/project_writer.h"

#include <functional>
#include <future>
#include <new>
#include <stdexcept>
#include <system_error>

ConversionJob::ConversionJob() = default;
ConversionJob::~ConversionJob() = default;

std::optional<std::string> ConversionJob::Run(const ConversionRequest& request, IProgress* pProgress)
{
    if (m_bRunning)
        return std::nullopt;
    if (!request.lod1Path)
    {
        platform::ShowError("Please select a file to convert");
        return std::nullopt;
    }

    m_bRunning = true;
    struct Done
    {
        bool& bRunning;
        ~Done() { bRunning = false; }
    } done{m_bRunning};
    platform::ScopedWaitCursor waitCursor;
    Release(); // nothing should be left, but a run starts clean in any case

    Outcome outcome;
    std::string writtenPath;
    try
    {
        outcome = Convert(request, pProgress, writtenPath);
    }
    catch (const std::bad_alloc&)
    {
        platform::ShowError("There is not enough memory to convert the model.");
        outcome = Outcome::Failed;
    }
    catch (const std::exception& error)
    {
        platform::ShowError(std::string("The conversion stopped on an unexpected error: ") + error.what());
        outcome = Outcome::Failed;
    }

    Release();
    waitCursor.Restore();
    if (outcome == Outcome::Written && m_bWriteProject)
        platform::ShowInfo("Conversion succeeded!");
    else if (outcome == Outcome::Failed)
        platform::ShowError("Conversion failed");
    if (outcome != Outcome::Written)
        return std::nullopt;
    return writtenPath;
}

ConversionJob::Outcome ConversionJob::Convert(const ConversionRequest& request, IProgress* pProgress,
                                              std::string& writtenPath)
{
    // Whether the user still wants the run, asked after each step that
    // takes long; a stopped run has nothing more to say.
    const auto stopped = [pProgress] { return pProgress && !pProgress->Continue(0, 1); };

    // Both models are loaded and checked before any output path or writer
    // exists: a model that fails never leads to a file.
    Outcome outcome = LoadModel(m_pLod1, *request.lod1Path, "No materials found for the LOD 1 model",
                                request.smoothingGroups);
    if (outcome == Outcome::Loaded && stopped())
        return Outcome::Refused;
    if (outcome == Outcome::Loaded && request.lod2Path)
        outcome = LoadModel(m_pLod2, *request.lod2Path, "No materials found for the LOD 2 model",
                            request.smoothingGroups);
    if (outcome != Outcome::Loaded)
        return outcome;
    if (stopped())
        return Outcome::Refused;

    // Writing over an input would destroy it; links, "..", and letter case
    // are seen through by asking whether the two name the same file.
    const std::string outputPath = OutputPath(request.outputDir, request.lod1Title);
    for (const std::optional<std::string>& input : {request.lod1Path, request.lod2Path})
    {
        if (input && platform::SameFile(outputPath, *input))
        {
            platform::ShowError("The output file " + outputPath + " is the input file " + *input +
                                ", which converting would destroy. Please choose another output folder.");
            return Outcome::Failed;
        }
    }
    if (m_outputCheck && !m_outputCheck(outputPath))
        return Outcome::Refused;

    // A factor of 0 or below is passed over silently and the models are
    // written as loaded. A factor that would overflow has been reported by
    // the scaling, and writing unscaled would be wrong.
    if (const std::optional<float> multiplier = Multiplier(request.scaleMode, request.scaleFactor))
    {
        if (!Scale(*m_pLod1, *multiplier) || (m_pLod2 && !Scale(*m_pLod2, *multiplier)))
            return Outcome::Failed;
    }
    // The LOD 2 meshes pair with the LOD 1 meshes by position.
    if (m_pLod2 && m_pLod2->m_nMeshCount > m_pLod1->m_nMeshCount)
    {
        platform::ShowError("The LOD 2 contains more meshes than LOD 1");
        return Outcome::Failed;
    }

    if (!m_bWriteProject)
    {
        if (!m_use || !m_use(*m_pLod1, m_pLod2.get(), outputPath))
            return Outcome::Refused;
        writtenPath = outputPath;
        return Outcome::Written;
    }
    // Each model's textures are looked for beside it, so that the user
    // hears of a missing one now rather than in the editor.
    const auto lod1Textures = CheckTextures(*m_pLod1, *request.lod1Path);
    const auto lod2Textures = m_pLod2 ? CheckTextures(*m_pLod2, *request.lod2Path) : decltype(lod1Textures)();
    // The future waits in its destructor too, so the preparation never
    // outlives the models, even when writing throws.
    std::future<void> preparation;
    if (m_prepare)
    {
        try
        {
            preparation = std::async(std::launch::async, m_prepare, std::cref(*m_pLod1), m_pLod2.get());
        }
        catch (const std::system_error&) // no thread to be had: the work is done here, first
        {
            m_prepare(*m_pLod1, m_pLod2.get());
        }
    }
    m_pWriter = std::make_unique<CProjectWriter>(outputPath, m_pLod1.get(), m_pLod2.get());
    m_pWriter->SetProgress(pProgress);
    const bool bWritten = m_pWriter->Write();
    const bool bStopped = m_pWriter->IsStopped();
    if (preparation.valid())
        preparation.get();
    m_pWriter.reset();
    if (!bWritten)
        return bStopped ? Outcome::Refused : Outcome::Failed;
    if (request.copyTextures)
    {
        const std::vector<std::string> keep = {outputPath, *request.lod1Path, request.lod2Path.value_or("")};
        CTextureClaims ownClaims;
        CTextureClaims* const pClaims = m_pTextureClaims ? m_pTextureClaims : &ownClaims;
        CopyTextures(lod1Textures, *request.lod1Path, request.outputDir, keep, pClaims);
        if (m_pLod2)
            CopyTextures(lod2Textures, *request.lod2Path, request.outputDir, keep, pClaims);
    }
    writtenPath = outputPath;
    if (m_use)
        m_use(*m_pLod1, m_pLod2.get(), outputPath);
    return Outcome::Written;
}

std::optional<float> ConversionJob::Multiplier(ScaleMode mode, std::int32_t factor)
{
    if (factor <= 0)
        return std::nullopt;
    switch (mode)
    {
    case ScaleMode::ScaleUp:
        return static_cast<float>(factor);
    case ScaleMode::ScaleDown:
        // The single-precision reciprocal of the factor, as the file's
        // coordinates are single precision.
        return static_cast<float>(1.0 / static_cast<double>(static_cast<float>(factor)));
    default:
        return std::nullopt;
    }
}

ConversionJob::Outcome ConversionJob::LoadModel(std::unique_ptr<C3dsModel>& pModel, const std::string& path,
                                                const char* noMaterials, bool bSmoothingGroups)
{
    pModel = std::make_unique<C3dsModel>();
    if (!pModel->Load(path.c_str()))
        return Outcome::Failed;
    if (pModel->m_nMaterialCount < 1)
    {
        platform::ShowError(noMaterials);
        return Outcome::Refused;
    }
    if (bSmoothingGroups)
        pModel->ComputeCornerNormals();
    return Outcome::Loaded;
}

void ConversionJob::Release()
{
    m_pWriter.reset();
    m_pLod2.reset();
    m_pLod1.reset();
}

std::string ConversionJob::OutputPath(const std::string& outputDir, const std::string& lod1Title)
{
    return outputDir + platform::kSeparator + platform::LowerCaseByLocale(lod1Title + ".vnp");
}

std::optional<std::int64_t> ReadWholeNumber(const std::string& text, std::int64_t least, std::int64_t most,
                                            std::string& problem)
{
    problem = "is not a whole number";
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    // Leading zeros add nothing; past the limit the number only grows.
    std::int64_t value = 0;
    for (const char c : text)
    {
        value = value * 10 + (c - '0');
        if (value > most)
        {
            problem = "is too large (at most " + std::to_string(most) + ")";
            return std::nullopt;
        }
    }
    if (value < least)
    {
        problem = "must be at least " + std::to_string(least);
        return std::nullopt;
    }
    return value;
}

std::string FileTitle(const std::string& fileName)
{
    return fileName.substr(0, fileName.rfind('.'));
}
