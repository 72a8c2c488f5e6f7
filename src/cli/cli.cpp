#include "cli/cli.h"

#include "cli/batch.h"

#include "model/c3ds_model.h"
#include "pipeline/conversion_job.h"
#include "pipeline/texture_files.h"
#include "platform/console_notifier.h"
#include "platform/file_system.h"
#include "platform/text_path.h"
#include "render/thumbnail.h"
#include "vnp_config.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <ostream>
#include <thread>

namespace
{

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The length of the UTF-8 character at text[i], 0 when none starts there
// (a stray or cut-off byte, an over-long form, a surrogate, beyond U+10FFFF).
std::size_t Utf8Length(const std::string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = length > 1 ? byte(i + 1) : 0x80;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// A name as the project file writes it (a line break as a space), with
// what a terminal cannot show as text written \xNN: control bytes and
// bytes that are no UTF-8. A name stays on its line and the report stays
// readable whatever the model holds.
std::string ShownName(const std::string& name)
{
    std::string shown;
    for (std::size_t i = 0; i < name.size();)
    {
        const char c = name[i];
        const std::size_t length = Utf8Length(name, i);
        if (c == '\r' || c == '\n')
            shown += ' ';
        else if (length == 0 || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        {
            constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        }
        else
        {
            shown.append(name, i, length);
            i += length;
            continue;
        }
        ++i;
    }
    return shown;
}

bool PrintInfo(const std::string& path, std::ostream& out)
{
    C3dsModel model;
    if (!model.Load(path.c_str()))
        return false;
    out << path << '\n' << "  meshes: " << model.m_nMeshCount << '\n';
    for (const MeshObject& mesh : model.m_meshes)
        out << "    \"" << ShownName(mesh.name) << "\": " << mesh.vertexCount << " vertices, "
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

// What two spellings of one output file have in common: the file's
// identity where it exists (so hard links and symbolic links to one file
// meet), else its folder's identity and its name.
std::pair<platform::FileId, std::string> OutputKey(const std::string& path)
{
    const platform::FileFacts target = platform::Inspect(path);
    if (target.exists)
        return {target.id, std::string()};
    const std::size_t separator = platform::LastSeparator(path);
    const std::string folder = separator == std::string::npos ? "." : path.substr(0, separator + 1);
    const platform::FileFacts parent = platform::Inspect(folder);
    if (parent.exists)
        return {parent.id, path.substr(separator + 1)};
    return {platform::FileId{}, path};
}

// The exit status: a run whose report could not be written (a closed pipe,
// a full disk) has failed too.
int Finish(bool bSucceeded, std::ostream& out, std::ostream& err)
{
    out.flush();
    err.flush();
    return bSucceeded && out && err ? 0 : kExitFailed;
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

// The picture beside a project file: its name with ".png" for ".vnp".
std::string PicturePath(const std::string& projectPath)
{
    return projectPath.substr(0, projectPath.size() - 4) + ".png";
}

} // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    CLI::App app{"Converts 3D Studio .3ds models into Vantrel project files (.vnp).", "3ds2vnp"};
    // "/data/ship.3ds" is a path, also on Windows.
    app.allow_windows_style_options(false);
    // Unknown options are collected and told apart from a missing model
    // below: a model named "-x.3ds" needs "--" before it.
    app.allow_extras();
    std::vector<std::string> models;
    std::string outputDir;
    std::string lod2Path;
    std::string scaleUp;
    std::string scaleDown;
    bool bInfo = false;
    bool bQuiet = false;
    ConversionRequest base;

    std::string jobsText;
    app.add_option("MODEL.3ds", models, "the models to convert, one .vnp file each");
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
            ->option_text("N")};
    for (CLI::Option* pOption : valueOptions)
        pOption->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    valueOptions[2]->excludes(valueOptions[3]);
    app.add_flag("--info", bInfo,
                 "print each model's meshes (vertices, faces, mapping coordinates), materials and texture "
                 "files; write nothing");
    app.add_flag("--smoothing-groups", base.smoothingGroups,
                 "give each face the normals of its smoothing groups, so hard edges stay hard");
    app.add_flag("--copy-textures", base.copyTextures,
                 "copy the texture files found beside each model into the output folder");
    app.add_flag("-q,--quiet", bQuiet, "print errors only");
    std::string thumbnailText;
    bool bThumbnailOnly = false;
    valueOptions.push_back(app.add_option("--thumbnail", thumbnailText,
                                          "also write NAME.png beside each .vnp, a picture of SIZE x SIZE "
                                          "pixels (16 to 1024, default 256)")
                               ->option_text("[SIZE]")
                               ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast));
    app.add_flag("--thumbnail-only", bThumbnailOnly, "write the pictures and no project files");
    app.set_version_flag("-V,--version", "3ds2vnp " VNP_VERSION);
    app.footer("Exit status: 0 when every model was converted, 1 when any failed, 2 for a usage error.");

    const auto usageError = [&](const std::string& reason) {
        err << "3ds2vnp: " << reason << "\nTry '3ds2vnp --help' for more information.\n";
        return kExitUsage;
    };

    try
    {
        const std::vector<const char*> args = WithThumbnailSize(argc, argv);
        // CLI11 would take the next argument (the model) for an empty size.
        for (std::size_t i = 1; i < args.size() && std::string(args[i]) != "--"; ++i)
            if (std::string(args[i]) == "--thumbnail=")
                return usageError("--thumbnail=: the size is empty; give SIZE (16 to 1024) or no '='");
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
        return usageError(error.what());
    }
    for (const std::string& extra : app.remaining())
    {
        if (extra == "--") // CLI11 keeps the separator; the models after it are taken
            continue;
        if (extra.size() > 1 && extra[0] == '-')
            return usageError("unknown option '" + extra +
                              "'; a model whose name starts with '-' goes after '--': 3ds2vnp [options] -- " +
                              extra);
        return usageError("unexpected argument '" + extra + "'");
    }
    if (models.empty())
        return usageError("MODEL.3ds is required");
    for (const CLI::Option* pOption : valueOptions)
    {
        if (pOption->count() > 1)
            return usageError(pOption->get_name() + " is given more than once; give it once");
    }
    // Every number is read by one rule; the first that is none is the
    // usage error.
    std::string badNumber;
    const auto readNumber = [&](const char* name, const std::string& text, std::int64_t least,
                                std::int64_t most) {
        std::string problem;
        const std::optional<std::int64_t> number = ReadWholeNumber(text, least, most, problem);
        if (!number && badNumber.empty())
            badNumber = std::string(name) + ": '" + text + "' " + problem;
        return number.value_or(least);
    };
    const std::size_t jobs = app.count("--jobs")
                                 ? static_cast<std::size_t>(readNumber("--jobs", jobsText, 1, 1024))
                                 : std::max(1u, std::thread::hardware_concurrency());
    auto thumbnailSize = static_cast<std::int32_t>(
        app.count("--thumbnail") ? readNumber("--thumbnail", thumbnailText, 16, 1024) : 0);
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
        return usageError(badNumber);
    // An empty folder or file name is a slip of the shell (an unset
    // variable), not "not given".
    if (app.count("--output-dir") && outputDir.empty())
        return usageError("--output-dir: the folder name is empty");
    if (app.count("--lod2") && lod2Path.empty())
        return usageError("--lod2: the file name is empty");
    if (!lod2Path.empty())
    {
        if (models.size() > 1)
            return usageError("--lod2 goes with a single MODEL");
        base.lod2Path = lod2Path;
    }

    if (bThumbnailOnly && thumbnailSize == 0)
        thumbnailSize = 256;

    platform::ConsoleNotifier console(out, err, bQuiet);
    platform::InstallNotifier(&console);
    struct Uninstall
    {
        ~Uninstall() { platform::InstallNotifier(nullptr); }
    } uninstall;

    if (bInfo)
    {
        bool bAllRead = true;
        for (const std::string& model : models)
            bAllRead = PrintInfo(model, out) && bAllRead;
        return Finish(bAllRead, out, err);
    }

    // Models whose outputs name one file go to one task, in the order
    // given: a later one must not replace what an earlier one wrote.
    std::vector<ConversionRequest> requests;
    std::map<std::pair<platform::FileId, std::string>, std::size_t> taskOfOutput;
    std::vector<std::vector<std::size_t>> tasks;
    // No output of the run may replace any of its inputs.
    std::map<platform::FileId, std::string> inputs;
    for (const std::string& model : models)
    {
        ConversionRequest& request = requests.emplace_back(base);
        request.lod1Path = model;
        request.lod1Title = FileTitle(platform::Utf8FromPath(platform::PathFromUtf8(model).filename()));
        request.outputDir = outputDir.empty() ? ParentFolder(model) : outputDir;
        const auto [task, bNew] = taskOfOutput.emplace(
            OutputKey(ConversionJob::OutputPath(request.outputDir, request.lod1Title)), tasks.size());
        if (bNew)
            tasks.emplace_back();
        tasks[task->second].push_back(requests.size() - 1);
        for (const std::string& input : {model, lod2Path})
            if (const platform::FileFacts facts = platform::Inspect(input); facts.regular)
                inputs.emplace(facts.id, input);
    }

    // Each model's report is collected apart and printed whole, in the
    // order of the models, whichever finishes first.
    std::vector<Transcript> transcripts(models.size());
    std::vector<char> succeeded(models.size(), 0);
    const std::size_t threads = std::min<std::size_t>(jobs, tasks.size());
    const bool bSpareProcessor = threads < std::thread::hardware_concurrency();
    CTextureClaims textureClaims;
    const auto runTask = [&](const std::vector<std::size_t>& task) {
        ConversionJob job;
        job.SetTextureClaims(&textureClaims);
        std::optional<std::size_t> written;
        std::size_t current = 0;
        job.SetOutputCheck([&](const std::string& outputPath) {
            if (written)
            {
                platform::ShowError("Not converted: " + models[current] + " would replace " + outputPath +
                                    ", written from " + models[*written] + " in this run");
                return false;
            }
            const platform::FileFacts target = platform::Inspect(outputPath);
            const auto input = target.regular ? inputs.find(target.id) : inputs.end();
            if (input != inputs.end())
            {
                platform::ShowError("Not converted: the output file " + outputPath + " is " + input->second +
                                    ", an input of this run, which converting would destroy");
                return false;
            }
            return true;
        });
        for (const std::size_t i : task)
        {
            current = i;
            Transcript& transcript = transcripts[i];
            TranscriptStream out(transcript, false), err(transcript, true);
            platform::ConsoleNotifier notifier(out, err, bQuiet);
            const platform::ScopedThreadNotifier useIt(notifier);
            if (models.size() > 1 && !bQuiet)
                out << models[i] << ":\n" << std::flush;
            {
                // The picture is drawn from the models the conversion
                // loaded; a picture that fails is a warning only.
                // With a processor to spare, the picture is drawn and
                // encoded while the project file is written, and saved
                // after it, so that its warning keeps its place.
                bool bPictureWritten = false;
                std::vector<unsigned char> png;
                std::vector<std::string> notes;
                bool bDrawn = false;
                const bool bBeside = bSpareProcessor && !bThumbnailOnly;
                if (thumbnailSize > 0)
                {
                    job.SetModelUse(
                        [&](const C3dsModel& lod1, const C3dsModel* pLod2, const std::string& outputPath) {
                            bPictureWritten = bBeside ? SaveThumbnail(PicturePath(outputPath),
                                                                      bDrawn ? &png : nullptr, notes)
                                                      : WriteThumbnail(PicturePath(outputPath), thumbnailSize,
                                                                       lod1, models[i], pLod2, lod2Path);
                            return bPictureWritten;
                        },
                        !bThumbnailOnly);
                    job.SetModelPreparation(bBeside ? [&](const C3dsModel& lod1, const C3dsModel* pLod2) {
                        // A picture that fails is a warning, never a failed conversion.
                        try
                        {
                            bDrawn =
                                DrawThumbnail(thumbnailSize, lod1, models[i], pLod2, lod2Path, png, &notes);
                        }
                        catch (const std::exception&)
                        {
                            bDrawn = false;
                        }
                    } : ConversionJob::ModelPreparation{});
                }
                if (const std::optional<std::string> path = job.Run(requests[i]))
                {
                    succeeded[i] = 1;
                    written = i;
                    if (!bQuiet && !bThumbnailOnly)
                        out << "Wrote " << *path << '\n';
                    if (!bQuiet && bPictureWritten)
                        out << "Wrote " << PicturePath(*path) << '\n';
                    out << std::flush;
                }
            }
            transcript.Close();
        }
    };
    const auto printReady = [&](std::size_t next) {
        // Prints every report that is complete and next in order.
        for (; next < transcripts.size() && transcripts[next].IsClosed(); ++next)
            transcripts[next].PrintTo(out, err);
        return next;
    };
    RunTasks(tasks, threads, runTask, printReady, [&](std::size_t started) {
        err << "3ds2vnp: the system started " << started << " of " << threads << " threads; converting on "
            << std::max<std::size_t>(started, 1) << "\n"
            << std::flush;
    });
    const int converted = static_cast<int>(std::count(succeeded.begin(), succeeded.end(), 1));

    const auto failed = static_cast<int>(models.size()) - converted;
    if (models.size() > 1 && (failed > 0 || !bQuiet))
        (failed > 0 ? err : out) << converted << " converted, " << failed << " failed\n";
    return Finish(failed == 0, out, err);
}
