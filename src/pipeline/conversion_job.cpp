#include "pipeline/conversion_job.h"

#include "model/c3ds_model.h"
#include "pipeline/run_guard.h"
#include "pipeline/texture_files.h"
#include "platform/file_system.h"
#include "platform/text_path.h"
#include "writer/output_file.h"
#include "writer/project_writer.h"

#include <chrono>
#include <functional>
#include <future>
#include <new>
#include <stdexcept>
#include <system_error>

std::optional<std::string> RunReport::Written(OutputKind kind) const
{
    for (const WrittenFile& file : written)
        if (file.kind == kind)
            return file.path;
    return std::nullopt;
}

ConversionJob::ConversionJob() = default;
ConversionJob::~ConversionJob() = default;

RunReport ConversionJob::Run(const ConversionRequest& request, const RunContext& context)
{
    const auto start = std::chrono::steady_clock::now();
    RunReport report;
    report.lod1Path = request.lod1Path.value_or(std::string());
    report.lod2Path = request.lod2Path;
    report.outcome = RunOutcome::Refused;
    if (m_bRunning)
        return report;
    platform::CMessageLog log([pHost = context.pHost](const platform::Message& message) {
        if (pHost)
            pHost->OnMessage(message);
    });
    if (!request.lod1Path)
    {
        log.Error("Please select a file to convert");
        report.messages = log.Take();
        return report;
    }

    m_bRunning = true;
    struct Done
    {
        bool& bRunning;
        ~Done() { bRunning = false; }
    } done{m_bRunning};
    if (context.pHost)
        context.pHost->OnBusy(true);
    Release(); // nothing should be left, but a run starts clean in any case

    CRunGuard ownGuard;
    try
    {
        Convert(request, context, context.pGuard ? *context.pGuard : ownGuard, log, report);
    }
    catch (const std::bad_alloc&)
    {
        log.Error("There is not enough memory to convert the model.");
        report.outcome = RunOutcome::Failed;
    }
    catch (const std::exception& error)
    {
        log.Error(std::string("The conversion stopped on an unexpected error: ") + error.what());
        report.outcome = RunOutcome::Failed;
    }

    Release();
    if (context.pHost)
        context.pHost->OnBusy(false);
    if (report.outcome == RunOutcome::Converted && request.writeProject)
        log.Info("Conversion succeeded!");
    else if (report.outcome == RunOutcome::Failed)
        log.Error("Conversion failed");
    report.messages = log.Take();
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

void ConversionJob::Convert(const ConversionRequest& request, const RunContext& context, CRunGuard& guard,
                            platform::CMessageLog& log, RunReport& report)
{
    // Whether the user still wants the run, asked after each step that
    // takes long; a stopped run has nothing more to say.
    const auto stopped = [&] {
        if (context.pProgress && !context.pProgress->Continue(0, 1))
            report.outcome = RunOutcome::Stopped;
        return report.outcome == RunOutcome::Stopped;
    };

    // Both models are loaded and checked before any output path or writer
    // exists: a model that fails never leads to a file.
    Step step = LoadModel(m_pLod1, m_pLoadedLod1, *request.lod1Path, "No materials found for the LOD 1 model",
                          request, context, log, report);
    if (step == Step::Loaded && stopped())
        return;
    if (step == Step::Loaded && request.lod2Path)
        step = LoadModel(m_pLod2, m_pLoadedLod2, *request.lod2Path, "No materials found for the LOD 2 model",
                         request, context, log, report);
    if (step != Step::Loaded || stopped())
        return;
    const C3dsModel& lod1 = m_pLod1 ? *m_pLod1 : *m_pLoadedLod1;
    const C3dsModel* const pLod2 = m_pLod2 ? m_pLod2.get() : m_pLoadedLod2.get();

    // Writing over an input would destroy it; links, "..", and letter case
    // are seen through by asking whether the two name the same file.
    const std::string outputPath = OutputPath(request.outputDir, request.lod1Title);
    report.outputPath = outputPath;
    const platform::FileFacts output = platform::Inspect(outputPath);
    for (const std::optional<std::string>& input : {request.lod1Path, request.lod2Path})
    {
        if (!input)
            continue;
        const platform::CFileRef file(*input);
        if (output.regular && file.Facts().regular && output.id == file.Facts().id)
        {
            log.Error("The output file " + outputPath + " is the input file " + *input +
                      ", which converting would destroy. Please choose another output folder.");
            report.outcome = RunOutcome::Failed;
            return;
        }
        guard.AddInput(file);
    }
    const std::string& model = *request.lod1Path;
    if (request.writeProject && !guard.Claim(outputPath, OutputKind::Project, model, std::string(), log))
    {
        report.outcome = RunOutcome::Refused;
        return;
    }

    // A factor of 0 or below is passed over silently and the models are
    // written as loaded. A factor that would overflow has been reported by
    // the scaling, and writing unscaled would be wrong.
    // A model read before the run is not changed: then both are scaled
    // as they are written, after the same check.
    const std::optional<float> multiplier = Multiplier(request.scaleMode, request.scaleFactor);
    const bool bScaleAsWritten = multiplier && (m_pLoadedLod1 || m_pLoadedLod2);
    if (multiplier)
    {
        const bool bScaled =
            bScaleAsWritten
                ? CanScale(lod1, *multiplier, log) && (!pLod2 || CanScale(*pLod2, *multiplier, log))
                : Scale(*m_pLod1, *multiplier, log) && (!m_pLod2 || Scale(*m_pLod2, *multiplier, log));
        if (!bScaled)
        {
            report.outcome = RunOutcome::Failed;
            return;
        }
    }
    // The LOD 2 meshes pair with the LOD 1 meshes by position.
    if (pLod2 && pLod2->m_nMeshCount > lod1.m_nMeshCount)
    {
        log.Error("The LOD 2 contains more meshes than LOD 1");
        report.outcome = RunOutcome::Failed;
        return;
    }

    const std::string picturePath = PicturePath(outputPath);
    const std::string lod2Path = request.lod2Path.value_or(std::string());
    const bool bPicture = request.pictureSize > 0 && context.pPainter;
    std::vector<unsigned char> png;
    std::vector<std::string> pictureNotes;
    // A picture that cannot be made (not even for memory) is a warning: the
    // project file does not depend on it.
    const auto draw = [&]() -> bool {
        try
        {
            return context.pPainter->Paint(request.pictureSize, lod1, model, pLod2, lod2Path, report.textures,
                                           png, pictureNotes);
        }
        catch (const std::exception& error)
        {
            pictureNotes.push_back("The picture of " + model + " could not be drawn: " + error.what());
        }
        return false;
    };
    // The notes of the drawing, then the picture written, or why not.
    const auto savePicture = [&](bool bDrawn) {
        for (std::string& note : pictureNotes)
            log.Warning(std::move(note));
        if (bDrawn)
            WritePicture(picturePath, png, model, guard, log, report);
        else
            log.Warning("Could not write the picture " + picturePath + ": the picture could not be drawn");
    };
    if (!request.writeProject)
    {
        if (bPicture)
            savePicture(draw());
        report.outcome = report.Written(OutputKind::Picture) ? RunOutcome::Converted : RunOutcome::Refused;
        return;
    }

    // Each model's textures are looked for beside it, so that the user
    // hears of a missing one now rather than in the editor.
    const auto lod1Textures = CheckTextures(lod1, model, log, report.textures);
    const auto lod2Textures =
        pLod2 ? CheckTextures(*pLod2, lod2Path, log, report.textures) : decltype(lod1Textures)();
    for (const auto* pTextures : {&lod1Textures, &lod2Textures})
        for (const auto& [name, file] : *pTextures)
            guard.AddInput(file.file);

    // With a processor to spare, the picture is drawn while the project
    // file is written, and saved after it, so that its messages keep their
    // place. The future waits in its destructor too, so the drawing never
    // outlives the models, even when writing throws.
    std::future<bool> drawing;
    if (bPicture && context.bDrawBeside)
    {
        try
        {
            drawing = std::async(std::launch::async, draw);
        }
        catch (const std::system_error&) // no thread to be had: drawn after the write
        {
        }
    }
    m_pWriter = std::make_unique<CProjectWriter>(outputPath, &lod1, pLod2);
    m_pWriter->SetProgress(context.pProgress);
    if (bScaleAsWritten)
        m_pWriter->SetMultiplier(*multiplier);
    const bool bWritten = m_pWriter->Write(log);
    const bool bStopped = m_pWriter->IsStopped();
    m_pWriter.reset();
    const bool bDrawingBeside = drawing.valid();
    bool bDrawn = bDrawingBeside && drawing.get();
    if (!bWritten)
    {
        guard.Release(outputPath);
        report.outcome = bStopped ? RunOutcome::Stopped : RunOutcome::Failed;
        return;
    }
    if (bPicture && !bDrawingBeside)
        bDrawn = draw();
    report.written.push_back({OutputKind::Project, outputPath});
    if (request.copyTextures)
    {
        CopyTextures(lod1Textures, model, request.outputDir, guard, log, report);
        if (pLod2)
            CopyTextures(lod2Textures, lod2Path, request.outputDir, guard, log, report);
    }
    if (bPicture)
        savePicture(bDrawn);
    report.outcome = RunOutcome::Converted;
}

void ConversionJob::WritePicture(const std::string& path, const std::vector<unsigned char>& png,
                                 const std::string& model, CRunGuard& guard, platform::CMessageLog& log,
                                 RunReport& report)
{
    if (!guard.Claim(path, OutputKind::Picture, model, std::string(), log))
        return;
    COutputFile file;
    if (file.Create(path) && file.Put(reinterpret_cast<const char*>(png.data()), png.size()) && file.Commit())
        report.written.push_back({OutputKind::Picture, path});
    else
        log.Warning("Could not write the picture " + path + ": " + file.Error());
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

ConversionJob::Step ConversionJob::LoadModel(std::unique_ptr<C3dsModel>& pModel,
                                             std::shared_ptr<const C3dsModel>& pLoaded,
                                             const std::string& path, const char* noMaterials,
                                             const ConversionRequest& request, const RunContext& context,
                                             platform::CMessageLog& log, RunReport& report)
{
    // A model read before the run went through what a fresh read goes
    // through up to its normals. The smoothing groups would change it under
    // its other user, and so would scaling a picture drawn from it: these
    // take a fresh read. The project file's positions are scaled as written.
    const bool bMayReuse =
        context.pLoaded && !request.smoothingGroups &&
        !(Multiplier(request.scaleMode, request.scaleFactor) && request.pictureSize > 0 && context.pPainter);
    if (bMayReuse)
    {
        for (const LoadedModel& loaded : *context.pLoaded)
        {
            if (loaded.pModel && loaded.path == path &&
                platform::Unchanged(loaded.facts, platform::Inspect(path)))
            {
                for (const platform::Message& message : loaded.messages)
                    log.Add(message.kind, message.text, message.owner);
                pLoaded = loaded.pModel;
                break;
            }
        }
    }
    if (!pLoaded)
    {
        pModel = std::make_unique<C3dsModel>();
        if (!pModel->Load(path.c_str(), log, context.pProgress))
        {
            // A read the user stopped has nothing more to say.
            report.outcome = pModel->IsStopped() ? RunOutcome::Stopped : RunOutcome::Failed;
            return Step::Ended;
        }
    }
    const C3dsModel& model = pLoaded ? *pLoaded : *pModel;
    if (model.m_nMaterialCount < 1)
    {
        log.Error(noMaterials);
        report.outcome = RunOutcome::Refused;
        return Step::Ended;
    }
    // The normals of a big model take longer than the user waits for a
    // stop, so they ask the progress between meshes too.
    if (pModel && (!pModel->ComputeNormals(context.pProgress) ||
                   (request.smoothingGroups && !pModel->ComputeCornerNormals(log, context.pProgress))))
    {
        report.outcome = RunOutcome::Stopped;
        return Step::Ended;
    }
    report.meshes += model.m_nMeshCount;
    for (const MeshObject& mesh : model.m_meshes)
    {
        report.faces += mesh.faceCount;
        report.vertices += mesh.vertexCount;
        if (mesh.mirrored)
            report.mirroredMeshes.push_back(mesh.name.Str());
    }
    return Step::Loaded;
}

void ConversionJob::Release()
{
    m_pWriter.reset();
    m_pLod2.reset();
    m_pLod1.reset();
    m_pLoadedLod2.reset();
    m_pLoadedLod1.reset();
}

std::string ConversionJob::OutputPath(const std::string& outputDir, const std::string& lod1Title)
{
    return outputDir + platform::kSeparator + platform::LowerCaseByLocale(lod1Title + ".vnp");
}

std::string ConversionJob::PicturePath(const std::string& projectPath)
{
    return projectPath.substr(0, projectPath.size() - 4) + ".png";
}
