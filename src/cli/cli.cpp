#include "cli/cli.h"

#include "cli/json_report.h"
#include "model/c3ds_model.h"
#include "pipeline/batch.h"
#include "pipeline/conversion_job.h"
#include "pipeline/run_guard.h"
#include "pipeline/texture_files.h"
#include "platform/console_text.h"
#include "platform/file_system.h"
#include "platform/text_path.h"
#include "render/thumbnail.h"
#include "vnp_config.h"
#include "writer/output_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

namespace
{

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The largest picture: what file managers ask of a thumbnailer at most.
constexpr std::int64_t kMaxThumbnailSize = 1024;

// What the user asked for.
struct Options
{
    std::vector<std::string> models;
    ConversionRequest base; // the choices every model shares
    std::size_t jobs = 1;
    bool bInfo = false;
    bool bJson = false;
    bool bQuiet = false;
    bool bUpdate = false;
    std::optional<std::string> reportPath; // "-": standard output
};

// The exit status: a run whose report could not be written (a closed pipe,
// a full disk) has failed too.
int Finish(bool bSucceeded, std::ostream& out, std::ostream& err)
{
    out.flush();
    err.flush();
    return bSucceeded && out && err ? 0 : kExitFailed;
}

int UsageError(const std::string& reason, std::ostream& err)
{
    err << "3ds2vnp: " << reason << "\nTry '3ds2vnp --help' for more information.\n";
    return kExitUsage;
}

// "--thumbnail" takes an optional size: where no number follows it, the
// default is put in, so that a model's name is never taken for the size.
std::vector<const char*> WithThumbnailSize(int argc, const char* const* argv)
{
    std::vector<const char*> args(argv, argv + argc);
    for (std::size_t i = 1; i < args.size(); ++i)
    {
        if (std::string(args[i]) == "--")
            break;
        const bool bNumberFollows =
            i + 1 < args.size() && *args[i + 1] &&
            std::string(args[i + 1]).find_first_not_of("0123456789") == std::string::npos;
        if (std::string(args[i]) == "--thumbnail" && !bNumberFollows)
            args.insert(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, "256");
    }
    return args;
}

// Reads the command line into options; the exit status when the program
// ends here (help, version, a usage error).
std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out,
                                std::ostream& err)
{
    CLI::App app{"Converts 3D Studio .3ds models into Vantrel project files (.vnp).", "3ds2vnp"};
    // "/data/ship.3ds" is a path, also on Windows.
    app.allow_windows_style_options(false);
    // Unknown options are collected and told apart from a missing model
    // below: a model named "-x.3ds" needs "--" before it.
    app.allow_extras();
    ConversionRequest& base = options.base;
    std::string outputDir, lod2Path, scaleUp, scaleDown, jobsText, thumbnailText, reportPath;
    bool bThumbnailOnly = false;

    app.add_option("MODEL.3ds", options.models, "the models to convert, one .vnp file each");
    // Each option with a value is taken as text, given at most once (below)
    // and read by one rule.
    std::vector<CLI::Option*> valueOptions = {
        app.add_option("-o,--output-dir", outputDir,
                       "write the .vnp files into DIR (default: each model's own folder)")
            ->option_text("DIR"),
        app.add_option("--lod2", lod2Path, "merge FILE as level of detail 2 (only with a single MODEL)")
            ->option_text("FILE"),
        app.add_option("--scale-up", scaleUp, "multiply every coordinate by the whole number N (N >= 1)")
            ->option_text("N"),
        app.add_option("--scale-down", scaleDown, "divide every coordinate by the whole number N (N >= 1)")
            ->option_text("N"),
        app.add_option("-j,--jobs", jobsText, "convert N models at once (default: the number of cores)")
            ->option_text("N"),
        app.add_option("--report", reportPath,
                       "also write what happened to each model as JSON into FILE ('-': standard output, "
                       "the other lines then go to standard error)")
            ->option_text("FILE.json")};
    valueOptions[2]->excludes(valueOptions[3]);
    app.add_flag("--info", options.bInfo,
                 "print each model's meshes (vertices, faces, mapping coordinates), materials and texture "
                 "files; write nothing");
    app.add_flag("--json", options.bJson, "with --info: print the facts as one JSON document");
    app.add_flag("-u,--update", options.bUpdate,
                 "skip each model whose project file is newer than the model, its LOD 2 and the texture "
                 "files it copies (the options are not remembered: after changing one, run without -u)");
    app.add_flag("--smoothing-groups", base.smoothingGroups,
                 "give each face the normals of its smoothing groups, so hard edges stay hard");
    app.add_flag("--copy-textures", base.copyTextures,
                 "copy the texture files found beside each model into the output folder (a copy that "
                 "fails makes the exit status 1)");
    app.add_flag("-q,--quiet", options.bQuiet, "print errors only");
    valueOptions.push_back(
        app.add_option("--thumbnail", thumbnailText,
                       "also write NAME.png beside each .vnp, a picture of SIZE x SIZE pixels (16 to 1024; "
                       "default 256)")
            ->option_text("[SIZE]"));
    for (CLI::Option* pOption : valueOptions)
        pOption->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_flag("--thumbnail-only", bThumbnailOnly, "write the pictures and no project files");
    app.set_version_flag("-V,--version", "3ds2vnp " VNP_VERSION);
    app.footer("Ctrl+C stops a run: the models converted stay, the one under way is left as it was, and the "
               "report marks the rest not reached; a second Ctrl+C ends the program at once.\n\n"
               "Exit status: 0 when every model was converted, 1 when any failed or a texture copy asked for "
               "failed, 2 for a usage error.");

    for (int i = 1; i < argc && std::string(argv[i]) != "--"; ++i)
        if (std::string(argv[i]) == "--thumbnail=")
            return UsageError("--thumbnail: the size is empty; give a number or leave out the '='", err);
    try
    {
        const std::vector<const char*> args = WithThumbnailSize(argc, argv);
        app.parse(static_cast<int>(args.size()), args.data());
    }
    catch (const CLI::CallForHelp&)
    {
        out << app.help();
        return Finish(true, out, err);
    }
    catch (const CLI::CallForVersion&)
    {
        out << "3ds2vnp " VNP_VERSION "\n";
        return Finish(true, out, err);
    }
    catch (const CLI::ParseError& error)
    {
        return UsageError(error.what(), err);
    }
    for (const std::string& extra : app.remaining())
    {
        if (extra == "--") // CLI11 keeps the separator; the models after it are taken
            continue;
        if (extra.size() > 1 && extra[0] == '-')
            return UsageError(
                "unknown option '" + extra +
                    "'; a model whose name starts with '-' goes after '--': 3ds2vnp [options] -- " + extra,
                err);
        return UsageError("unexpected argument '" + extra + "'", err);
    }
    if (options.models.empty())
        return UsageError("MODEL.3ds is required", err);
    for (const CLI::Option* pOption : valueOptions)
    {
        if (pOption->count() > 1)
            return UsageError(pOption->get_name() + " is given more than once; give it once", err);
    }
    // Every number is read by one rule; the first that is none is the
    // usage error.
    std::string badNumber;
    const auto readNumber = [&](const char* name, const std::string& text, std::int64_t least,
                                std::int64_t most) {
        std::string problem;
        const std::optional<std::int64_t> number = platform::ReadWholeNumber(text, least, most, problem);
        if (!number && badNumber.empty())
            badNumber = std::string(name) + ": '" + text + "' " + problem;
        return number.value_or(least);
    };
    options.jobs = app.count("--jobs") ? static_cast<std::size_t>(readNumber("--jobs", jobsText, 1, 1024))
                                       : std::max(1u, std::thread::hardware_concurrency());
    base.pictureSize = static_cast<std::int32_t>(
        app.count("--thumbnail") ? readNumber("--thumbnail", thumbnailText, 16, kMaxThumbnailSize) : 0);
    for (const auto& [text, mode, name] : {std::tuple{scaleUp, ScaleMode::ScaleUp, "--scale-up"},
                                           std::tuple{scaleDown, ScaleMode::ScaleDown, "--scale-down"}})
    {
        if (!app.count(name))
            continue;
        base.scaleMode = mode;
        base.scaleFactor =
            static_cast<std::int32_t>(readNumber(name, text, 1, std::numeric_limits<std::int32_t>::max()));
    }
    if (!badNumber.empty())
        return UsageError(badNumber, err);
    // An empty folder or file name is a slip of the shell (an unset
    // variable), not "not given".
    if (app.count("--output-dir") && outputDir.empty())
        return UsageError("--output-dir: the folder name is empty", err);
    if (app.count("--report") && reportPath.empty())
        return UsageError("--report: the file name is empty", err);
    if (app.count("--report") && options.bInfo)
        return UsageError("--report goes with a conversion; for the facts as JSON use --info --json", err);
    if (options.bJson && !options.bInfo)
        return UsageError("--json goes with --info; a conversion writes JSON with --report FILE.json", err);
    if (app.count("--report"))
        options.reportPath = reportPath;
    if (app.count("--lod2") && lod2Path.empty())
        return UsageError("--lod2: the file name is empty", err);
    if (!lod2Path.empty())
    {
        if (options.models.size() > 1)
            return UsageError("--lod2 goes with a single MODEL", err);
        base.lod2Path = lod2Path;
    }
    base.outputDir = outputDir;
    if (bThumbnailOnly && base.pictureSize == 0)
        base.pictureSize = 256;
    base.writeProject = !bThumbnailOnly;
    return std::nullopt;
}

// --info: a model's meshes, materials and texture files, found or not.
bool PrintInfo(const std::string& path, bool bQuiet, std::ostream& out, std::ostream& err)
{
    using platform::ShownName;
    C3dsModel model;
    platform::CMessageLog log(
        [&](const platform::Message& message) { platform::PrintMessage(message, out, err, bQuiet); });
    if (!model.Load(path.c_str(), log))
        return false;
    out << ShownName(path) << '\n' << "  meshes: " << model.m_nMeshCount << '\n';
    for (const MeshObject& mesh : model.m_meshes)
        out << "    \"" << ShownName(mesh.name.Str()) << "\": " << mesh.vertexCount << " vertices, "
            << mesh.faceCount << " faces, " << mesh.mapCoordCount << " mapping coordinates\n";
    out << "  materials: " << model.m_nMaterialCount << '\n';
    std::vector<std::string> names;
    for (const MaterialEntry& material : model.m_materials)
        names.push_back(material.mapName);
    const std::vector<std::optional<TextureFile>> files = FindTextures(ParentFolder(path), names);
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        out << "    \"" << ShownName(model.m_materials[i].name) << "\": ";
        if (names[i].empty())
            out << "no texture\n";
        else
            out << "texture " << ShownName(names[i])
                << (!files[i]         ? " (not found)"
                    : files[i]->exact ? " (found)"
                                      : " (found as " + ShownName(files[i]->relative) + ")")
                << '\n';
    }
    return true;
}

// --info --json: the same facts for programs, one document on standard
// output; the messages for people go to standard error.
bool PrintInfoJson(const std::vector<std::string>& paths, bool bQuiet, std::ostream& out, std::ostream& err)
{
    std::vector<std::unique_ptr<C3dsModel>> models;
    std::vector<InfoModel> infos;
    bool bAllRead = true;
    for (const std::string& path : paths)
    {
        InfoModel& info = infos.emplace_back();
        info.path = path;
        auto pModel = std::make_unique<C3dsModel>();
        platform::CMessageLog log([&](const platform::Message& message) {
            platform::PrintMessage(message, err, err, bQuiet);
            if (message.kind == platform::MessageKind::Error)
                info.errors.push_back(message.text);
        });
        if (!pModel->Load(path.c_str(), log))
        {
            bAllRead = false;
            continue;
        }
        std::vector<std::string> names;
        for (const MaterialEntry& material : pModel->m_materials)
            names.push_back(material.mapName);
        info.textures = FindTextures(ParentFolder(path), names);
        info.pModel = pModel.get();
        models.push_back(std::move(pModel));
    }
    out << InfoJson(infos);
    return bAllRead;
}

// One request per model, each into its own folder unless one is given.
std::vector<ConversionRequest> BuildRequests(const Options& options)
{
    std::vector<ConversionRequest> requests;
    for (const std::string& model : options.models)
    {
        ConversionRequest& request = requests.emplace_back(options.base);
        request.lod1Path = model;
        request.lod1Title =
            platform::FileTitle(platform::Utf8FromPath(platform::PathFromUtf8(model).filename()));
        if (request.outputDir.empty())
            request.outputDir = ParentFolder(model);
    }
    return requests;
}

// The time a file's content last changed; none when it cannot be told.
std::optional<std::int64_t> Modified(const std::string& path)
{
    const platform::FileFacts facts = platform::Inspect(path);
    return facts.exists ? std::optional(facts.modified) : std::nullopt;
}

// Whether request's outputs all exist and none is older than what they are
// made from (as make decides): the models and, when they are copied, the
// textures they name. The options are not compared: nothing records them.
// The report to show for a model left alone; none when it is to be
// converted.
std::optional<RunReport> UpToDate(const ConversionRequest& request)
{
    const std::string project = ConversionJob::OutputPath(request.outputDir, request.lod1Title);
    std::vector<std::string> outputs;
    if (request.writeProject)
        outputs.push_back(project);
    if (request.pictureSize > 0)
        outputs.push_back(ConversionJob::PicturePath(project));
    std::int64_t oldestOutput = std::numeric_limits<std::int64_t>::max();
    for (const std::string& output : outputs)
    {
        const std::optional<std::int64_t> modified = Modified(output);
        if (!modified)
            return std::nullopt;
        oldestOutput = std::min(oldestOutput, *modified);
    }
    std::vector<std::string> inputs;
    for (const std::optional<std::string>& model : {request.lod1Path, request.lod2Path})
    {
        if (!model)
            continue;
        inputs.push_back(*model);
        // Which textures a model copies only its file says: it is read
        // then, with its messages unheard, as the conversion would read it.
        if (!request.copyTextures)
            continue;
        C3dsModel loaded;
        platform::CMessageLog silent;
        if (!loaded.Load(model->c_str(), silent))
            return std::nullopt;
        std::vector<std::string> names;
        for (const MaterialEntry& material : loaded.m_materials)
            names.push_back(material.mapName);
        for (const std::optional<TextureFile>& file : FindTextures(ParentFolder(*model), names))
            if (file)
                inputs.push_back(file->file.Path());
    }
    for (const std::string& input : inputs)
    {
        const std::optional<std::int64_t> modified = Modified(input);
        if (!modified || *modified > oldestOutput)
            return std::nullopt;
    }
    RunReport report;
    report.lod1Path = request.lod1Path.value_or(std::string());
    report.lod2Path = request.lod2Path;
    report.outputPath = project;
    report.outcome = RunOutcome::Converted;
    report.messages.push_back({platform::MessageKind::Info, outputs.front() + " is up to date"});
    return report;
}

// Prints each model's report whole, in the order of the models, whichever
// finishes first: its name (in a batch), its messages, what it wrote. The
// models left alone as up to date take their places in that order.
class CConsoleBatch final : public IBatchHost
{
public:
    CConsoleBatch(const Options& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err)
    {
    }

    void OnReport(std::size_t index, const RunReport& report) override
    {
        const std::size_t model = index < m_modelOf.size() ? m_modelOf[index] : index;
        ShowUpToDate(model);
        Show(model, report);
        m_nNext = model + 1;
    }

    // Shows the models up to date before model that are not shown yet.
    void ShowUpToDate(std::size_t model)
    {
        for (; m_nNext < model && m_nNext < m_reports.size(); ++m_nNext)
            if (m_reports[m_nNext])
                Show(m_nNext, *m_reports[m_nNext]);
    }

    bool StopRequested() const override { return platform::StopRequested(); }

    void OnFewerThreads(std::size_t started, std::size_t asked) override
    {
        m_err << "3ds2vnp: the system started " << started << " of " << asked << " threads; converting on "
              << std::max<std::size_t>(started, 1) << "\n"
              << std::flush;
    }

    int m_nConverted = 0;
    int m_nUpToDate = 0;
    int m_nCopyFailed = 0;
    std::vector<std::optional<RunReport>> m_reports; // per model: up to date, or as its run went
    std::vector<std::size_t> m_modelOf;              // per request: its model
    std::vector<bool> m_upToDate;                    // per model

private:
    void Show(std::size_t model, const RunReport& report)
    {
        m_reports[model] = report;
        const bool bQuiet = m_options.bQuiet;
        // A model that an interrupt stopped has nothing to show; the run's
        // last line tells of it.
        if (m_options.models.size() > 1 && !bQuiet && report.outcome != RunOutcome::Stopped)
            m_out << platform::ShownName(m_options.models[model]) << ":\n";
        for (const platform::Message& message : report.messages)
            platform::PrintMessage(message, m_out, m_err, bQuiet);
        for (const WrittenFile& file : report.written)
            if (!bQuiet && file.kind != OutputKind::Texture)
                m_out << "Wrote " << platform::ShownName(file.path) << '\n';
        m_out << std::flush;
        if (m_upToDate[model])
            ++m_nUpToDate;
        else if (report.outcome == RunOutcome::Converted)
            ++m_nConverted;
        if (report.bCopyFailed)
            ++m_nCopyFailed;
    }

    const Options& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    std::size_t m_nNext = 0; // the first model not shown
};

// Why the run's report must not go to path: it is a model or LOD 2 of the
// run, or a file the run writes; empty when it may.
std::string ReportClash(const std::string& path, const std::vector<ConversionRequest>& requests)
{
    const CRunGuard::Key key = CRunGuard::OutputKey(path);
    for (const ConversionRequest& request : requests)
    {
        for (const std::optional<std::string>& input : {request.lod1Path, request.lod2Path})
            if (input && platform::SameFile(path, *input))
                return "it is " + *input + ", an input of this run";
        const std::string project = ConversionJob::OutputPath(request.outputDir, request.lod1Title);
        if (request.writeProject && CRunGuard::OutputKey(project) == key)
            return "it is " + project + ", an output of this run";
        const std::string picture = ConversionJob::PicturePath(project);
        if (request.pictureSize > 0 && CRunGuard::OutputKey(picture) == key)
            return "it is " + picture + ", an output of this run";
    }
    return {};
}

// The textures are known only once their models are read: the report must
// not replace one that the run read or copied either.
std::string TextureClash(const std::string& path, const std::vector<std::optional<RunReport>>& reports)
{
    for (const std::optional<RunReport>& report : reports)
    {
        if (!report)
            continue;
        for (const TextureUse& texture : report->textures)
        {
            if (texture.foundPath && platform::SameFile(path, *texture.foundPath))
                return "it is " + *texture.foundPath + ", a texture file this run read";
            if (!texture.copiedTo.empty() && platform::SameFile(path, texture.copiedTo))
                return "it is " + texture.copiedTo + ", a texture copy this run wrote";
        }
    }
    return {};
}

int ReportRefused(const std::string& path, const std::string& reason, std::ostream& err)
{
    err << "3ds2vnp: the report " << platform::ShownName(path)
        << " cannot be written: " << platform::OneLine(reason) << '\n';
    return kExitFailed;
}

int ConvertModels(const Options& options, std::ostream& out, std::ostream& err)
{
    const std::vector<ConversionRequest> requests = BuildRequests(options);
    // A report on standard output leaves it to the document alone.
    const bool bReportToOut = options.reportPath && *options.reportPath == "-";
    std::ostream& people = bReportToOut ? err : out;
    // The report's file is checked, and its temporary file made, before
    // anything is converted: a run whose report cannot be written would be
    // a run the pipeline cannot read.
    COutputFile reportFile;
    const bool bReportFile = options.reportPath && !bReportToOut;
    if (bReportFile)
    {
        if (const std::string clash = ReportClash(*options.reportPath, requests); !clash.empty())
            return ReportRefused(*options.reportPath, clash, err);
        if (!reportFile.Create(*options.reportPath))
            return ReportRefused(*options.reportPath, reportFile.Error(), err);
    }

    CConsoleBatch console(options, people, err);
    console.m_reports.resize(requests.size());
    console.m_upToDate.resize(requests.size());
    std::vector<ConversionRequest> toConvert;
    for (std::size_t i = 0; i < requests.size(); ++i)
    {
        if (options.bUpdate)
        {
            if (std::optional<RunReport> report = UpToDate(requests[i]))
            {
                console.m_reports[i] = std::move(report);
                console.m_upToDate[i] = true;
                continue;
            }
        }
        toConvert.push_back(requests[i]);
        console.m_modelOf.push_back(i);
    }
    const CThumbnailPainter painter;
    // Ctrl+C now ends the run as a whole: what is done stays, and the
    // report tells which models were not reached.
    platform::StopRunOnInterrupt();
    RunBatch(toConvert, options.jobs, &painter, console);
    console.ShowUpToDate(requests.size());
    const int failed = static_cast<int>(options.models.size()) - console.m_nConverted - console.m_nUpToDate;
    if (platform::StopRequested())
    {
        const auto notReached = std::count(console.m_reports.begin(), console.m_reports.end(), std::nullopt);
        err << "3ds2vnp: interrupted: " << console.m_nConverted << " of " << options.models.size()
            << (options.models.size() == 1 ? " model" : " models") << " converted, " << notReached
            << " not reached\n";
    }
    else if (options.models.size() > 1 && (failed > 0 || !options.bQuiet))
        (failed > 0 ? err : people) << console.m_nConverted << " converted, "
                                    << (console.m_nUpToDate > 0
                                            ? std::to_string(console.m_nUpToDate) + " up to date, "
                                            : std::string())
                                    << failed << " failed\n";
    if (console.m_nCopyFailed > 0)
        err << "3ds2vnp: texture files of " << console.m_nCopyFailed
            << (console.m_nCopyFailed == 1 ? " model" : " models")
            << " could not be copied (see the warnings); the output folder lacks them\n";
    bool bReportWritten = true;
    if (options.reportPath)
    {
        ReportedOptions reported{options.base, options.jobs, options.bUpdate};
        std::vector<ReportedModel> models;
        for (std::size_t i = 0; i < requests.size(); ++i)
            models.push_back({options.models[i], console.m_reports[i], console.m_upToDate[i]});
        const std::string json = RunReportJson(reported, models);
        if (bReportToOut)
            out << json;
        else if (const std::string clash = TextureClash(*options.reportPath, console.m_reports);
                 !clash.empty())
            bReportWritten = ReportRefused(*options.reportPath, clash, err) == 0;
        else if (!reportFile.Put(json.data(), json.size()) || !reportFile.Commit())
            bReportWritten = ReportRefused(*options.reportPath, reportFile.Error(), err) == 0;
    }
    return Finish(failed == 0 && console.m_nCopyFailed == 0 && bReportWritten, out, err);
}

} // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    Options options;
    if (const std::optional<int> status = ParseOptions(argc, argv, options, out, err))
        return *status;
    if (options.bInfo && options.bJson)
        return Finish(PrintInfoJson(options.models, options.bQuiet, out, err), out, err);
    if (options.bInfo)
    {
        bool bAllRead = true;
        for (const std::string& model : options.models)
            bAllRead = PrintInfo(model, options.bQuiet, out, err) && bAllRead;
        return Finish(bAllRead, out, err);
    }
    return ConvertModels(options, out, err);
}
