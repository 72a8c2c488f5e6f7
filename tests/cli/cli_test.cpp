#include "cli/cli.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace build3ds;

namespace
{

struct Result
{
    int status;
    std::string out;
    std::string err;
};

Result RunCli(std::vector<std::string> args)
{
    args.insert(args.begin(), "3ds2vnp");
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

std::size_t CountLines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

const Bytes kShip = File({Material("Hull", "hull.bmp"), Material("Glass"), Object(Cube("Hull"))});

} // namespace

TEST(CommandLine, HelpAndVersion)
{
    const Result help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--scale-down N"), std::string::npos);
    EXPECT_EQ(RunCli({"-V"}).out, "3ds2vnp 1.1.0\n");
}

TEST(CommandLine, UsageErrorsExitTwoWithOneReason)
{
    TempDir dir;
    WriteFile(dir / "a.3ds", kShip);
    const std::string a = (dir / "a.3ds").string();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", a},
             {a, "-o"},
             {"--scale-up", "abc", a},
             {"--scale-up", "0", a},
             {"--scale-down", "-3", a},
             {"--scale-down", "99999999999", a},
             {"--scale-up", "2", "--scale-down", "2", a},
             {"--lod2", a, a, a},
         })
    {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(CountLines(result.err), 2u) << result.err;
        EXPECT_NE(result.err.find("Try '3ds2vnp --help'"), std::string::npos);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(CommandLine, ConvertsIntoTheModelsFolderOrTheOutputDir)
{
    TempDir dir;
    WriteFile(dir / "Ship.Hull.3DS", kShip);
    const Result result = RunCli({(dir / "Ship.Hull.3DS").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("Info: Conversion succeeded!\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "ship.hull.vnp"));

    std::filesystem::create_directory(dir / "Out");
    const Result quiet = RunCli({"-q", "-o", (dir / "Out").string(), "--scale-up", "3", (dir / "Ship.Hull.3DS").string()});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
    const std::string scaled = ReadWholeFile(dir / "Out" / "ship.hull.vnp");
    EXPECT_NE(scaled.find("\r\n3.0000, 3.0000, 3.0000\r\n"), std::string::npos);
}

TEST(CommandLine, Lod2IsMerged)
{
    TempDir dir;
    WriteFile(dir / "f.3ds", kShip);
    WriteFile(dir / "f_low.3ds", File({Material("Low", "low.bmp"), Object(Triangle1())}));
    const Result result = RunCli({"--lod2", (dir / "f_low.3ds").string(), (dir / "f.3ds").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string text = ReadWholeFile(dir / "f.vnp");
    EXPECT_NE(text.find("\r\nLOD 2\r\n 1 \r\n 2000 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nlow.bmp\r\n 0 \r\n 0 \r\n"), std::string::npos);
}

TEST(CommandLine, BatchGoesOnAfterAFailure)
{
    TempDir dir;
    WriteFile(dir / "one.3ds", kShip);
    WriteFile(dir / "two.3ds", Str("not a model"));
    WriteFile(dir / "three.3ds", kShip);
    const Result result = RunCli({(dir / "one.3ds").string(), (dir / "two.3ds").string(), (dir / "three.3ds").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "one.vnp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "two.vnp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "three.vnp"));
    EXPECT_EQ(result.err, "Error: Unable to load PRIMARY chunk from file: " + (dir / "two.3ds").string() +
                              " Not a valid 3ds file\nError: Conversion failed\n2 converted, 1 failed\n");
    EXPECT_EQ(CountLines(result.out), 3u + 2u * 2u); // a name line each; two successes
}

TEST(CommandLine, InfoDescribesAndWritesNothing)
{
    TempDir dir;
    WriteFile(dir / "ship.3ds", kShip);
    const Result result = RunCli({"--info", (dir / "ship.3ds").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("  meshes: 1\n    \"Hull\": 8 vertices, 12 faces, 8 mapping coordinates\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("    \"Hull\": texture hull.bmp\n    \"Glass\": no texture\n"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_EQ(RunCli({"--info", (dir / "missing.3ds").string()}).status, 1);
}
