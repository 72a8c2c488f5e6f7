#include "cli/cli.h"
#include "model/chunk_ids.h"
#include "run_cli.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <sstream>

using namespace build3ds;
using nlohmann::json;

namespace
{

using Result = CliResult;

// A model whose one object is mirrored (its local axes turn left-handed)
// and whose material names a texture that is not there.
Bytes MirroredShip()
{
    Bytes axes;
    for (const float value : {-1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f})
        axes = Cat({axes, F32(value)});
    axes = Cat({axes, Zeros(12)});
    return File({Material("Hull", "hull.bmp"),
                 Object("Keel", {Chunk(kChunkTriMesh, {VertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                                       FaceList({{0, 1, 2}}, {MaterialGroup("Hull", {0})}),
                                                       Chunk(kChunkLocalAxes, {axes})})})});
}

} // namespace

// Every model in the order given, each with its outcome, its messages as
// shown, its counts, its textures and its mirrored meshes; a failure does
// not keep the report from being written.
TEST(RunReport, RecordsEveryModelOfABatchInOrder)
{
    TempDir dir;
    WriteFile(dir / "ship.3ds", MirroredShip());
    WriteFile(dir / "broken.3ds", Bytes{0x4D, 0x4D, 0x02});
    WriteFile(dir / "cube.3ds", File({Material("Plain"), Object(Cube("Plain"))}));
    const std::string report = (dir / "run.json").string();
    const Result result = RunCli({"-j", "2", "--report", report, (dir / "ship.3ds").string(),
                                  (dir / "broken.3ds").string(), (dir / "cube.3ds").string()});
    EXPECT_EQ(result.status, 1);
    const json document = json::parse(ReadWholeFile(report));
    EXPECT_EQ(document["program"], "3ds2vnp");
    EXPECT_EQ(document["options"]["jobs"], 2);
    const json& models = document["models"];
    ASSERT_EQ(models.size(), 3u);
    EXPECT_EQ(models[0]["input"], (dir / "ship.3ds").string());
    EXPECT_EQ(models[0]["outcome"], "converted");
    EXPECT_EQ(models[0]["output"], (dir / "ship.vnp").string());
    EXPECT_EQ(models[0]["faces"], 1);
    EXPECT_EQ(models[0]["vertices"], 3);
    ASSERT_EQ(models[0]["textures"].size(), 1u);
    EXPECT_EQ(models[0]["textures"][0]["name"], "hull.bmp");
    EXPECT_TRUE(models[0]["textures"][0]["found"].is_null());
    ASSERT_EQ(models[0]["mirroredMeshes"].size(), 1u);
    EXPECT_EQ(models[0]["mirroredMeshes"][0]["name"], "Keel");
    EXPECT_EQ(models[1]["outcome"], "failed");
    EXPECT_TRUE(models[1]["output"].is_null());
    ASSERT_FALSE(models[1]["messages"].empty());
    EXPECT_EQ(models[1]["messages"][0]["kind"], "error");
    // The text is the one the console showed.
    const std::string shown = "Error: " + models[1]["messages"][0]["text"].get<std::string>();
    EXPECT_NE(result.err.find(shown), std::string::npos) << result.err;
    EXPECT_EQ(models[2]["outcome"], "converted");
    EXPECT_TRUE(models[2]["mirroredMeshes"].empty());
}

// "-" gives standard output to the document alone: the lines for people go
// to standard error.
TEST(RunReport, DashWritesTheDocumentAloneOnStandardOutput)
{
    TempDir dir;
    WriteFile(dir / "cube.3ds", File({Material("Plain"), Object(Cube("Plain"))}));
    const Result result = RunCli({"--report", "-", (dir / "cube.3ds").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    const json document = json::parse(result.out);
    EXPECT_EQ(document["models"][0]["outcome"], "converted");
    EXPECT_NE(result.err.find("Wrote "), std::string::npos);
}

// A report that cannot be written, or would replace a file of the run, is
// refused before anything is converted; --report with --info, and --json
// without it, are usage errors.
TEST(RunReport, RefusesABadPathBeforeConverting)
{
    TempDir dir;
    WriteFile(dir / "cube.3ds", File({Material("Plain"), Object(Cube("Plain"))}));
    const std::string model = (dir / "cube.3ds").string();
    for (const std::string& report : {(dir / "no-such-folder" / "r.json").string(), model,
                                      (dir / "cube.vnp").string(), (dir / "CUBE.vnp").string()})
    {
        const Result result = RunCli({"--report", report, model});
        EXPECT_EQ(result.status, 1) << report;
        EXPECT_NE(result.err.find("the report"), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "cube.vnp")) << report;
    }
    EXPECT_EQ(RunCli({"--report", (dir / "c.json").string(), "--thumbnail", "--", model}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "c.json"));
    std::filesystem::remove(dir / "cube.vnp");
    EXPECT_EQ(RunCli({"--report", (dir / "cube.png").string(), "--thumbnail", "--", model}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "cube.vnp"));
    EXPECT_EQ(RunCli({"--info", "--report", "r.json", model}).status, 2);
    EXPECT_EQ(RunCli({"--json", model}).status, 2);
    EXPECT_EQ(RunCli({"--report", "", model}).status, 2);
}

// --info --json: the facts --info prints, for programs; a name that is no
// UTF-8 is replaced in the text and given whole in hex beside it.
TEST(InfoJson, DescribesEachModelAndKeepsNamesThatAreNoUtf8)
{
    TempDir dir;
    WriteFile(dir / "ship.3ds",
              File({Material("Hull", "hull.bmp"), Material("Gl\xE4s"), Object(Cube("Hull"))}));
    WriteFile(dir / "hull.bmp", Bytes{'B', 'M'});
    WriteFile(dir / "broken.3ds", Bytes{0x4D, 0x4D, 0x02});
    const Result result =
        RunCli({"--info", "--json", (dir / "ship.3ds").string(), (dir / "broken.3ds").string()});
    EXPECT_EQ(result.status, 1);
    const json document = json::parse(result.out);
    const json& models = document["models"];
    ASSERT_EQ(models.size(), 2u);
    EXPECT_TRUE(models[0]["read"]);
    ASSERT_EQ(models[0]["meshes"].size(), 1u);
    EXPECT_EQ(models[0]["meshes"][0]["vertices"], 8);
    EXPECT_EQ(models[0]["meshes"][0]["faces"], 12);
    const json& materials = models[0]["materials"];
    ASSERT_EQ(materials.size(), 2u);
    EXPECT_EQ(materials[0]["texture"]["name"], "hull.bmp");
    EXPECT_EQ(materials[0]["texture"]["found"], (dir / "hull.bmp").string());
    EXPECT_EQ(materials[1]["name"], "Gl\xEF\xBF\xBDs");
    EXPECT_EQ(materials[1]["nameHex"], "476ce473");
    EXPECT_TRUE(materials[1]["texture"].is_null());
    EXPECT_FALSE(models[1]["read"]);
    EXPECT_FALSE(models[1]["errors"].empty());
    EXPECT_NE(result.err.find("Error: "), std::string::npos);
}

// -u leaves a model alone while its project file is no older than the
// model, its LOD 2 and the textures it copies; a newer input, or a missing
// output, converts it again.
TEST(Update, SkipsWhatIsUpToDateAsMakeDoes)
{
    TempDir dir;
    WriteFile(dir / "ship.3ds", File({Material("Hull", "hull.bmp"), Object(Cube("Hull"))}));
    WriteFile(dir / "hull.bmp", Bytes{'B', 'M'});
    WriteFile(dir / "cube.3ds", File({Material("Plain"), Object(Cube("Plain"))}));
    const std::string ship = (dir / "ship.3ds").string(), cube = (dir / "cube.3ds").string();
    const std::string report = (dir / "run.json").string();
    ASSERT_EQ(RunCli({"--copy-textures", "-o", (dir / "out").string(), ship, cube}).status,
              1); // no out folder
    std::filesystem::create_directory(dir / "out");
    const std::vector<std::string> args = {
        "-u", "--copy-textures", "-o", (dir / "out").string(), "--report", report, ship, cube};
    ASSERT_EQ(RunCli(args).status, 0);
    const auto outcomes = [&] {
        const json document = json::parse(ReadWholeFile(report));
        return std::vector<std::string>{document["models"][0]["outcome"], document["models"][1]["outcome"]};
    };
    EXPECT_EQ(outcomes(), (std::vector<std::string>{"converted", "converted"}));
    const Result again = RunCli(args);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(outcomes(), (std::vector<std::string>{"up-to-date", "up-to-date"}));
    EXPECT_NE(again.out.find("is up to date"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("0 converted, 2 up to date, 0 failed"), std::string::npos) << again.out;
    // A texture changed after the project was written makes its model
    // stale, not the other.
    const auto earlier = std::filesystem::last_write_time(dir / "hull.bmp") - std::chrono::seconds(5);
    std::filesystem::last_write_time(dir / "out" / "ship.vnp", earlier);
    std::filesystem::last_write_time(dir / "ship.3ds", earlier - std::chrono::seconds(5));
    EXPECT_EQ(RunCli(args).status, 0);
    EXPECT_EQ(outcomes(), (std::vector<std::string>{"converted", "up-to-date"}));
    std::filesystem::remove(dir / "out" / "cube.vnp");
    EXPECT_EQ(RunCli(args).status, 0);
    EXPECT_EQ(outcomes(), (std::vector<std::string>{"up-to-date", "converted"}));
}
