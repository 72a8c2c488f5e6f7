#include "cli/cli.h"
#include "pipeline/conversion_job.h"
#include "platform/text_path.h"
#include "render/texture_set.h"
#include "run_cli.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

using namespace build3ds;

namespace
{

using Result = CliResult;

const Bytes kShip = File({Material("Hull", "hull.bmp"), Material("Glass"), Object(Cube("Hull"))});

} // namespace

TEST(CommandLine, UsageErrorsExitTwoWithOneReasonAndWriteNothing)
{
    TempDir dir;
    WriteFile(dir / "a.3ds", kShip);
    const std::string a = (dir / "a.3ds").string();
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"--bogus", a},
                                                                  {a, "-o"},
                                                                  {"--scale-up", "abc", a},
                                                                  {"--scale-up", "0", a},
                                                                  {"--scale-down", "-3", a},
                                                                  {"--scale-down", "99999999999", a},
                                                                  {"--scale-up", "2", "--scale-down", "2", a},
                                                                  {"--lod2", a, a, a},
                                                                  {"-o", "", a},
                                                                  {"--lod2", "", a},
                                                                  {"-dash.3ds"},
                                                                  {"-j", "abc", a},
                                                                  {"-j2", "-j3", a},
                                                                  {"-j", "0x10", a}})
    {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
        EXPECT_NE(result.err.find("Try '3ds2vnp --help'"), std::string::npos);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_NE(RunCli({"--help"}).out.find("--scale-down N"), std::string::npos);
}

// Each message names what is wrong; every number is read by one rule.
TEST(CommandLine, UsageErrorsNameWhatIsWrong)
{
    const std::string a = "a.3ds";
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-dash.3ds"},
              "unknown option '-dash.3ds'; a model whose name starts with '-' goes after '--'"},
             {{"-j", "abc", a}, "--jobs: 'abc' is not a whole number"},
             {{"-j2", "-j3", a}, "--jobs is given more than once"},
             {{"--scale-up", "3000000000", a}, "--scale-up: '3000000000' is too large"},
             {{"--thumbnail", "2048", a}, "--thumbnail: '2048' is too large (at most 1024)"},
             {{"--thumbnail=", a}, "--thumbnail: the size is empty"}})
        EXPECT_NE(RunCli(args).err.find(message), std::string::npos) << message;
    TempDir dir;
    WriteFile(dir / "a.3ds", kShip);
    EXPECT_EQ(RunCli({"-q", "--scale-up", "00000000002", (dir / "a.3ds").string()}).status, 0);
}

TEST(CommandLine, ConvertsIntoTheModelsFolderOrTheOutputDirWithTheOptions)
{
    TempDir dir;
    WriteFile(dir / "Ship.Hull.3DS", kShip);
    WriteFile(dir / "f_low.3ds", File({Material("Low", "low.bmp"), Object(Triangle1())}));
    WriteFile(dir / "hull.bmp", Str("hull"));
    WriteFile(dir / "low.bmp", Str("low"));
    const Result result = RunCli({(dir / "Ship.Hull.3DS").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Info: Conversion succeeded!\nWrote " +
                              ConversionJob::OutputPath(dir.Path().string(), "Ship.Hull") + "\n");
    EXPECT_EQ(result.err, "");

    std::filesystem::create_directory(dir / "Out");
    const Result options =
        RunCli({"-o", (dir / "Out").string(), "--scale-up", "3", "--copy-textures", "--smoothing-groups",
                "--lod2", (dir / "f_low.3ds").string(), (dir / "Ship.Hull.3DS").string()});
    EXPECT_EQ(options.status, 0);
    EXPECT_EQ(options.err.rfind("Warning: The smoothing groups do not match the faces of \"Hull\"", 0), 0u);
    const std::string text = ReadWholeFile(dir / "Out" / "ship.hull.vnp");
    EXPECT_NE(text.find("\r\n3.0000, 3.0000, 3.0000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nLOD 2\r\n 1 \r\n 2000 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nlow.bmp\r\n 0 \r\n 0 \r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "Out" / "hull.bmp") &&
                std::filesystem::exists(dir / "Out" / "low.bmp"));
}

TEST(CommandLine, ALaterModelNeverReplacesAnEarlierOnesOutput)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "x");
    std::filesystem::create_directories(dir / "y");
    WriteFile(dir / "x" / "Dup.3ds", kShip);
    WriteFile(dir / "y" / "dup.3DS", File({Material("Other", "other.bmp"), Object(Triangle1())}));
    WriteFile(dir / "y" / "third.3ds", kShip);
    const std::string x = (dir / "x" / "Dup.3ds").string(), y = (dir / "y" / "dup.3DS").string();
    // A model that is missing is reported as such, not as a collision.
    const std::string missing = (dir / "z" / "DUP.3ds").string();
    const Result result =
        RunCli({"-q", "-o", dir.Path().string(), x, y, (dir / "y" / "third.3ds").string(), missing});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(y + " would replace"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("written from " + x), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Unable to find the file: " + missing), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("2 converted, 2 failed"), std::string::npos);
    EXPECT_NE(ReadWholeFile(dir / "dup.vnp").find("hull.bmp"), std::string::npos); // the first one's
    EXPECT_TRUE(std::filesystem::exists(dir / "third.vnp"));
}

// Outputs are told apart by the file they name, not by spelling: two
// names of one file are one output, and an output that is another name of
// an input of the run is refused.
TEST(CommandLine, ABatchKeepsItsOutputsApartAndOffItsInputs)
{
    TempDir dir;
    WriteFile(dir / "a.3ds", kShip);
    const Bytes other = File({Material("Other", "other.bmp"), Object(Triangle1())});
    WriteFile(dir / "b.3ds", other);
    const std::string a = (dir / "a.3ds").string(), b = (dir / "b.3ds").string();
    const std::filesystem::path linked = dir / "linked", onInput = dir / "on-input";
    std::filesystem::create_directory(linked);
    std::filesystem::create_directory(onInput);
    WriteFile(linked / "b.vnp", Str("old"));
    std::filesystem::create_hard_link(linked / "b.vnp", linked / "a.vnp");
    std::filesystem::create_hard_link(b, onInput / "a.vnp");
    const Result together = RunCli({"-q", "-j", "2", "-o", linked.string(), a, b});
    EXPECT_NE(together.err.find(b + " would replace"), std::string::npos) << together.err;
    EXPECT_NE(ReadWholeFile(linked / "b.vnp").find("hull.bmp"), std::string::npos); // a's
    const Result ontoInput = RunCli({"-q", "-o", onInput.string(), a, b});
    EXPECT_NE(ontoInput.err.find(" is " + b + ", an input of this run"), std::string::npos) << ontoInput.err;
    EXPECT_EQ(ReadWholeFile(b), std::string(other.begin(), other.end()));
    EXPECT_TRUE(std::filesystem::exists(onInput / "b.vnp"));
    EXPECT_EQ(together.status + ontoInput.status, 2);

    // Nor does a texture copy replace another model's of other bytes, by
    // any letter case; one of the same bytes is no collision.
    std::vector<std::string> models;
    for (const auto& [folder, texture, bytes] :
         {std::tuple{"t1", "hull.bmp", "one"}, {"t2", "HULL.BMP", "two"}, {"t3", "hull.bmp", "one"}})
    {
        std::filesystem::create_directory(dir / folder);
        WriteFile(dir / folder / texture, Str(bytes));
        WriteFile(dir / folder / (std::string(folder) + ".3ds"),
                  texture == std::string("HULL.BMP") ? File({Material("Hull", texture), Object(Triangle1())})
                                                     : kShip);
        models.push_back((dir / folder / (std::string(folder) + ".3ds")).string());
    }
    std::filesystem::create_directory(dir / "tex");
    const Result textures =
        RunCli({"-j", "1", "--copy-textures", "-o", (dir / "tex").string(), models[0], models[1], models[2]});
    EXPECT_EQ(textures.status, 0);
    EXPECT_EQ(ReadWholeFile(dir / "tex" / "hull.bmp"), ReadWholeFile(dir / "t1" / "hull.bmp"));
    // (One file on Windows, whose file names ignore case.)
    EXPECT_TRUE(!std::filesystem::exists(dir / "tex" / "HULL.BMP") ||
                ReadWholeFile(dir / "tex" / "HULL.BMP") == ReadWholeFile(dir / "t1" / "hull.bmp"));
    const std::string warning = "Warning: Not copied: the texture file " +
                                (dir / "t2" / "HULL.BMP").string() + " would replace " +
                                (dir / "tex" / "HULL.BMP").string() + ", copied from " +
                                (dir / "t1" / "hull.bmp").string() + " for " + models[0] + " in this run\n";
    EXPECT_NE(textures.err.find(warning), std::string::npos) << textures.err;
    EXPECT_EQ(textures.err.find("Not copied", textures.err.find(warning) + warning.size()), std::string::npos)
        << textures.err;
}

// Every file a run writes is an output of the run: a texture copy or a
// picture never replaces another output or any input, never writes
// through a link in the output folder, and a private texture stays
// private; a copy asked for that fails makes the status 1.
TEST(CommandLine, CopiesAndPicturesAreGuardedLikeProjectFiles)
{
    TempDir dir;
    const auto mk = [&](const std::filesystem::path& path, const char* texture) {
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path, File({Material("M", texture), Object(Triangle1())}));
        return path.string();
    };
    const auto out = dir / "out";
    std::filesystem::create_directory(out);
    // A texture named like another model's project file, or like an input.
    const std::string a = mk(dir / "A" / "a.3ds", "b.vnp"), b = mk(dir / "B" / "b.3ds", "x.bmp");
    WriteFile(dir / "A" / "b.vnp", Str("TEX"));
    const std::string d = mk(dir / "A" / "d.3ds", "c.3ds"), c = mk(out / "c.3ds", "x.bmp");
    WriteFile(dir / "A" / "c.3ds", Str("X"));
    const Result copies = RunCli({"-j1", "--copy-textures", "-o", out.string(), b, a, d, c});
    EXPECT_EQ(ReadWholeFile(out / "b.vnp").rfind("v1.1", 0), 0u);
    EXPECT_EQ(ReadWholeFile(out / "c.3ds"), ReadWholeFile(dir / "B" / "b.3ds"));
    EXPECT_NE(copies.err.find("that is the project file of " + b), std::string::npos) << copies.err;
    EXPECT_NE(copies.err.find("that is " + c + ", an input of this run"), std::string::npos) << copies.err;
    EXPECT_EQ(copies.status, 0) << copies.err;

    // A picture named like the model's own texture, or like an input.
    const std::string ship = mk(dir / "S" / "ship.3ds", "ship.png");
    WriteFile(dir / "S" / "ship.png", Str("texture"));
    const Result picture = RunCli({"--thumbnail", ship});
    EXPECT_EQ(ReadWholeFile(dir / "S" / "ship.png"), std::string("texture") + '\0');
    EXPECT_NE(picture.err.find("Not written: the picture of " + ship), std::string::npos) << picture.err;
    EXPECT_EQ(picture.status, 0);
    const std::string pin = mk(dir / "pin" / "a.3ds", "x.bmp");
    WriteFile(dir / "pin" / "a.png", Str("picture"));
    EXPECT_EQ(RunCli({"-j1", "--thumbnail", pin, (dir / "pin" / "a.png").string()}).status, 1); // no model
    EXPECT_EQ(ReadWholeFile(dir / "pin" / "a.png"), std::string("picture") + '\0');
    const std::string lod1 = mk(dir / "pin" / "lod.3ds", "x.bmp"),
                      lod2 = mk(dir / "pin" / "lod.png", "x.bmp");
    EXPECT_EQ(RunCli({"--thumbnail", "--lod2", lod2, lod1}).status, 0);
    EXPECT_EQ(ReadWholeFile(dir / "pin" / "lod.png"), ReadWholeFile(dir / "pin" / "a.3ds"));

#ifndef _WIN32
    // A link planted in the output folder, and a private texture.
    const std::string brick = mk(dir / "T" / "t.3ds", "brick.bmp");
    WriteFile(dir / "T" / "brick.bmp", Str("bricks"));
    ::chmod((dir / "T" / "brick.bmp").c_str(), 0600);
    WriteFile(dir / "precious.txt", Str("precious"));
    const auto linked = dir / "linked";
    std::filesystem::create_directory(linked);
    std::filesystem::create_symlink(dir / "precious.txt", linked / "brick.bmp");
    const Result link = RunCli({"--copy-textures", "-o", linked.string(), brick});
    EXPECT_EQ(ReadWholeFile(dir / "precious.txt"), std::string("precious") + '\0');
    EXPECT_NE(link.err.find("symbolic link"), std::string::npos) << link.err;
    EXPECT_EQ(RunCli({"-q", "--copy-textures", "-o", out.string(), brick}).status, 0);
    struct stat info;
    ASSERT_EQ(::stat((out / "brick.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
    // A copy that cannot be made: the project is written, the status is 1.
    const std::string roof = mk(dir / "R" / "r.3ds", "roof.bmp");
    WriteFile(dir / "R" / "roof.bmp", Str("roof"));
    std::filesystem::create_directories(out / "roof.bmp");
    const Result failed = RunCli({"-q", "--copy-textures", "-o", out.string(), roof});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(std::filesystem::exists(out / "r.vnp"));
    EXPECT_NE(failed.err.find("could not be copied"), std::string::npos) << failed.err;
}

// --info describes and writes nothing; only regular files are read, so a
// pipe, which would wait for a writer, or a folder is one clear error.
TEST(CommandLine, InfoDescribesAndOnlyRegularFilesAreRead)
{
    TempDir dir;
    WriteFile(dir / "ship.3ds", kShip);
    const Result result = RunCli({"--info", (dir / "ship.3ds").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("  meshes: 1\n    \"Hull\": 8 vertices, 12 faces, 8 mapping coordinates\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("    \"Hull\": texture hull.bmp (not found)\n    \"Glass\": no texture\n"),
              std::string::npos);
    WriteFile(dir / "hull.bmp", Str("hull"));
    EXPECT_NE(RunCli({"--info", (dir / "ship.3ds").string()}).out.find("texture hull.bmp (found)\n"),
              std::string::npos);
    EXPECT_EQ(RunCli({"--info", (dir / "missing.3ds").string()}).status, 1);
    // A name as the project file writes it, each line break a space; what
    // a terminal cannot show is escaped.
    WriteFile(dir / "odd.3ds", File({Material("Möbel\x07", "a\r\nb.bmp"), Object(Triangle1("x\n\xff\xc3"))}));
    EXPECT_NE(RunCli({"--info", (dir / "odd.3ds").string()})
                  .out.find("\"x \\xFF\\xC3\": 3 vertices, 1 faces, 3 mapping coordinates\n"
                            "  materials: 1\n    \"Möbel\\x07\": texture a  b.bmp (not found)\n"),
              std::string::npos);

    std::filesystem::create_directory(dir / "folder.3ds");
    std::vector<std::string> odd = {(dir / "folder.3ds").string()};
#ifdef _WIN32
    // Device names, in any folder and with any extension: at once.
    for (const char* device : {"aux.3ds", "com1.3ds", "CON.3ds"})
        odd.push_back((dir / device).string());
#else
    ASSERT_EQ(::mkfifo((dir / "pipe.3ds").c_str(), 0600), 0);
    odd.push_back((dir / "pipe.3ds").string());
    // Beyond the system's limit on a path the reason is told, not "not found".
    std::string tooLong = dir.Path().string();
    while (tooLong.size() <= 4096)
        tooLong += "/x";
    tooLong += "/m.3ds";
    EXPECT_EQ(RunCli({tooLong}).err,
              "Error: Unable to read " + tooLong + ": File name too long\nError: Conversion failed\n");
#endif
    for (const std::string& path : odd)
        EXPECT_EQ(RunCli({"--lod2", path, path})
                      .err.rfind("Error: Unable to read " + path + ": it is not a file", 0),
                  0u);
    // The folder holds the two models, the texture, the folder and, on Linux, the FIFO.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4 + int(odd.size() == 2));
}

namespace
{

// The names in a folder, as the file system spells them.
std::vector<std::string> Names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(platform::Utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// Names as users have them: any script, and paths that look like Windows
// options. (Long paths: TextPath.LongPathsTakeThePrefixedForm, below.)
TEST(CommandLine, AnyName)
{
#ifndef _WIN32
    // The command line lowers names by the user's locale.
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
#endif
    TempDir dir;
    const std::filesystem::path folder = dir.Path() / platform::PathFromUtf8("Möbel");
    std::filesystem::create_directory(folder);
    // Latin, Greek and Japanese: in and out of a Western ANSI code page.
    for (const std::string name : {"ÄRGER.3DS", "ΚΑΡΆΒΙ.3ds", "船の模型.3ds"})
        WriteFile(folder / platform::PathFromUtf8(name), kShip);
    const std::string in = platform::Utf8FromPath(folder) + "/";
    const Result result = RunCli({in + "ÄRGER.3DS", in + "ΚΑΡΆΒΙ.3ds", in + "船の模型.3ds"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"ÄRGER.3DS", "ärger.vnp", "ΚΑΡΆΒΙ.3ds", "καράβι.vnp",
                                                       "船の模型.3ds", "船の模型.vnp"}));
#ifndef _WIN32
    std::setlocale(LC_CTYPE, previous.c_str());
#endif

    // "/" starts a path, not a Windows-style option.
    EXPECT_NE(
        RunCli({"/no-such-folder/ship.3ds"}).err.find("Unable to find the file: /no-such-folder/ship.3ds"),
        std::string::npos);
}

// A target that must not or cannot be replaced keeps its bytes, the user
// learns why, and no temporary file is left.
TEST(CommandLine, ATargetThatCannotBeReplacedStaysAsItWas)
{
    TempDir dir;
    WriteFile(dir / "ship.3ds", kShip);
    const std::filesystem::path target = dir / "ship.vnp";
    WriteFile(target, {'o', 'l', 'd'});
    const auto convert = [&] { return RunCli({"-q", platform::Utf8FromPath(dir / "ship.3ds")}); };
    const auto expectRefused = [&](const Result& result, const char* message, const char* what) {
        EXPECT_EQ(result.status, 1) << what;
        const std::string prefix = std::string("Error: ") + message + ": " +
                                   ConversionJob::OutputPath(platform::Utf8FromPath(dir.Path()), "ship") +
                                   " ";
        EXPECT_EQ(result.err.substr(0, prefix.size()), prefix) << what << ": " << result.err;
        EXPECT_GT(result.err.find('\n'), prefix.size() + 3) << what << ": the reason is missing";
        EXPECT_EQ(ReadWholeFile(target), "old") << what;
        EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"ship.3ds", "ship.vnp"})) << what;
    };

#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    expectRefused(convert(), "Could not create output file", "read-only");
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);

    const HANDLE hHeld = ::CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    const Result held = convert();
    ::CloseHandle(hHeld);
    expectRefused(held, "Could not create output file", "held open by another program");
#else
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    expectRefused(convert(), "Could not create output file", "mode 0444");
#endif
}

// A damaged model fails alone; with -j the report is that of a serial run.
// Quiet and all well says nothing; a report that cannot be written fails
// a run that converted.
TEST(CommandLine, BatchGoesOnAfterAFailureInParallelTooAndReports)
{
    TempDir dir;
    std::vector<std::string> serial = {"-j", "1"}, parallel = {"-j", "4"};
    WriteFile(dir / "hull.bmp", Str("hull"));
    for (int i = 0; i < 6; ++i)
    {
        WriteFile((dir / "m").concat(std::to_string(i) + ".3ds"), i == 3 ? Str("damaged") : kShip);
        serial.push_back((dir / "m").concat(std::to_string(i) + ".3ds").string());
        parallel.push_back(serial.back());
    }
    const Result one = RunCli(serial);
    EXPECT_EQ(one.err, "Error: Unable to load PRIMARY chunk from file: " + serial[5] +
                           " Not a valid 3ds file\nError: Conversion failed\n5 converted, 1 failed\n");
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'),
              6 + 5 * 2); // a name line each; five successes
    const Result four = RunCli(parallel);
    EXPECT_EQ(one.status + four.status, 2);
    EXPECT_EQ(four.out + four.err, one.out + one.err); // each model's lines together, in the order given
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(std::filesystem::exists((dir / "m").concat(std::to_string(i) + ".vnp")), i != 3) << i;

    const Result quiet = RunCli({"-q", serial[2], serial[3]});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
    for (const char* arg : {serial[2].c_str(), "--help"}) // help too
    {
        const char* argv[] = {"3ds2vnp", arg};
        std::ostringstream out, err;
        out.setstate(std::ios::badbit);
        EXPECT_EQ(RunCommandLine(2, argv, out, err), 1) << arg;
    }
}

// A picture beside each project file, also in parallel; with
// --thumbnail-only no project file; a picture that cannot be written is a
// warning and the conversion still succeeds.
TEST(CommandLine, ThumbnailsBesideTheProjectFiles)
{
    TempDir dir;
    for (const char* name : {"a.3ds", "b.3ds", "c.3ds"})
        WriteFile(dir / name, kShip);
    const auto size = [&](const char* png) {
        const std::string bytes = ReadWholeFile(dir / png);
        RgbaImage image;
        return DecodePicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), image)
                   ? image.width * 10000 + image.height
                   : 0;
    };
    const std::string a = (dir / "a.3ds").string(), b = (dir / "b.3ds").string(),
                      c = (dir / "c.3ds").string();
    const Result both = RunCli({"--thumbnail", "-j", "2", a, b});
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_NE(both.out.find("Wrote " + ConversionJob::OutputPath(dir.Path().string(), "b") + "\nWrote "),
              std::string::npos);
    EXPECT_EQ(size("a.png"), 256 * 10000 + 256);
    EXPECT_EQ(size("b.png"), 256 * 10000 + 256);
    EXPECT_TRUE(std::filesystem::exists(dir / "b.vnp"));
    // One job leaves a processor to draw on while the project is written.
    const Result beside = RunCli({"--thumbnail", "48", "-j", "1", a});
    EXPECT_NE(beside.out.find("Wrote " + ConversionJob::OutputPath(dir.Path().string(), "a") + "\nWrote "),
              std::string::npos)
        << beside.out;
    EXPECT_EQ(size("a.png"), 48 * 10000 + 48);

    const Result only = RunCli({"-q", "--thumbnail-only", "--thumbnail", "64", c});
    EXPECT_EQ(only.status, 0) << only.err;
    EXPECT_EQ(size("c.png"), 64 * 10000 + 64);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.vnp"));

    std::filesystem::create_directory(dir / "c.png.d");
    std::filesystem::remove(dir / "c.png");
    std::filesystem::rename(dir / "c.png.d", dir / "c.png");
    const Result failed = RunCli({"--thumbnail", c});
    EXPECT_EQ(failed.status, 0);
    EXPECT_NE(failed.err.find("Warning: Could not write the picture"), std::string::npos) << failed.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "c.vnp"));
    EXPECT_EQ(RunCli({"--thumbnail", "8", c}).status, 2);
    // Up to 1024 pixels, as the desktop's largest thumbnails; a larger or
    // an empty size is a usage error that names the option (an empty one
    // must not take the model for the size).
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--thumbnail", "1025", c}, std::vector<std::string>{"--thumbnail=", c},
          std::vector<std::string>{"--thumbnail=4096", c}})
    {
        const Result refused = RunCli(args);
        EXPECT_EQ(refused.status, 2) << args[0];
        EXPECT_EQ(refused.err.rfind("3ds2vnp: --thumbnail", 0), 0u) << refused.err;
    }
}
