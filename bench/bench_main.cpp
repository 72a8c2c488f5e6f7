// Load, normals and write of generated models, beside the general and
// snprintf formatters for scale.

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "render/model_preview.h"
#include "render/renderer.h"
#include "shapes.h"
#include "writer/number_format.h"
#include "writer/output_file.h"
#include "writer/project_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <vector>

using namespace build3ds;

namespace
{

const Bytes& RibbonFile(int count)
{
    static std::map<int, Bytes> files;
    auto& file = files[count];
    if (file.empty())
        file = File({Material("Skin", "skin.bmp"), Object(Ribbon("Ribbon", count))});
    return file;
}

// A log for what the models say, emptied at each call: the benchmarks'
// models are sound, and nothing may pile up over the iterations.
platform::CMessageLog& Quiet()
{
    static platform::CMessageLog s_log;
    s_log.Take();
    return s_log;
}

C3dsModel LoadRibbon(int count)
{
    auto stream = AsStream(RibbonFile(count));
    C3dsModel model;
    if (!model.Load(stream, "ribbon.3ds", Quiet()))
        std::abort();
    model.ComputeNormals();
    return model;
}

class NullSink final : public IByteSink
{
public:
    bool Put(const char*, std::size_t size) override
    {
        m_bytes += size;
        return true;
    }
    std::size_t m_bytes = 0;
};

// Load and normals together, from a file on disk, as a conversion does.
void BM_LoadAndNormals(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const auto path = std::filesystem::temp_directory_path() / "vnp-bench-ribbon.3ds";
    WriteFile(path, RibbonFile(count));
    for (auto _ : state)
    {
        C3dsModel model;
        benchmark::DoNotOptimize(model.Load(path.c_str(), Quiet()));
        model.ComputeNormals();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RibbonFile(count).size()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadAndNormals)->Arg(1000)->Arg(16000)->Arg(65535)->Unit(benchmark::kMillisecond);

// A file that is no model is refused from its first bytes, however large:
// a sparse file of zeros of 2 GB (goal: at most 10 ms).
void BM_RefuseLargeNonModel(benchmark::State& state)
{
    const auto path = std::filesystem::temp_directory_path() / "vnp-bench-zeros.3ds";
    {
        std::ofstream(path, std::ios::binary).put('\0');
    }
    std::filesystem::resize_file(path, std::uintmax_t{2} << 30);
    for (auto _ : state)
    {
        C3dsModel model;
        benchmark::DoNotOptimize(model.Load(path.string().c_str(), Quiet()));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_RefuseLargeNonModel)->Unit(benchmark::kMicrosecond);

// Objects without vertices: the cost of an object's record alone (goal:
// at most 0.5 us an object). The file is read from memory.
void BM_LoadEmptyObjects(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    Bytes editor;
    editor.reserve(count * 21);
    for (std::size_t i = 0; i < count; ++i)
    {
        const Bytes object =
            Chunk(kChunkObject, {Str("E" + std::to_string(1000000 + i)), Chunk(kChunkTriMesh)});
        editor.insert(editor.end(), object.begin(), object.end());
    }
    const Bytes file = Chunk(kChunkPrimary, {Chunk(kChunkEditor, {editor})});
    for (auto _ : state)
    {
        C3dsModel model;
        auto stream = AsStream(file);
        benchmark::DoNotOptimize(model.Load(stream, "empty.3ds", Quiet()));
    }
    state.counters["ns_per_object"] =
        benchmark::Counter(static_cast<double>(count) * 1e-9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LoadEmptyObjects)->Arg(2000000)->Unit(benchmark::kMillisecond);

// Many materials, many material groups and a LOD 2 texture table: the
// name lookups must stay linear in the file size.
void BM_ManyMaterials(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<Bytes> children;
    Mesh mesh = Ribbon("Ribbon", 3000);
    // Names built by appending: GCC 12 warns falsely on "M" + to_string().
    const auto name = [](const char* prefix, int i) { return std::string(prefix).append(std::to_string(i)); };
    for (int i = 0; i < count; ++i)
    {
        children.push_back(Material(name("M", i), name("t", i).append(".bmp")));
        mesh.groups.push_back({name("M", count - 1 - i), {static_cast<std::uint16_t>(i % 3000)}});
    }
    children.push_back(Object(mesh));
    const Bytes file = File(children);
    for (auto _ : state)
    {
        auto stream = AsStream(file);
        C3dsModel lod1;
        auto stream2 = AsStream(file);
        C3dsModel lod2;
        if (!lod1.Load(stream, "many.3ds", Quiet()) || !lod2.Load(stream2, "many.3ds", Quiet()))
            std::abort();
        const CProjectWriter writer("unused.vnp", &lod1, &lod2); // builds the texture table
        benchmark::DoNotOptimize(writer.m_textures.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * file.size()));
}
BENCHMARK(BM_ManyMaterials)->Arg(1000)->Arg(10000)->Arg(60000)->Unit(benchmark::kMillisecond);

void BM_ComputeNormals(benchmark::State& state)
{
    C3dsModel model = LoadRibbon(static_cast<int>(state.range(0)));
    for (auto _ : state)
        model.ComputeNormals();
}
BENCHMARK(BM_ComputeNormals)->Arg(65535)->Unit(benchmark::kMillisecond);

// With the smoothing groups: today's normals, then each corner's by the
// faces of its groups. Random masks of four bits make every kind of
// surface at a vertex; beside BM_ComputeNormals, which is today's.
C3dsModel RibbonWithRandomMasks(int count)
{
    C3dsModel model = LoadRibbon(count);
    std::mt19937 random(7);
    for (std::int32_t f = 0; f < model.m_meshes[0].faceCount; ++f)
        model.m_meshes[0].Data().smoothGroups.push_back(random() & 15u);
    return model;
}

void BM_SmoothingGroupNormals(benchmark::State& state)
{
    C3dsModel model = RibbonWithRandomMasks(static_cast<int>(state.range(0)));
    for (auto _ : state)
    {
        model.ComputeNormals();
        model.ComputeCornerNormals(Quiet());
    }
}
BENCHMARK(BM_SmoothingGroupNormals)->Arg(16000)->Arg(65535)->Unit(benchmark::kMillisecond);

// The corner normals alone, from the normals that loading computed.
void BM_CornerNormals(benchmark::State& state)
{
    C3dsModel model = RibbonWithRandomMasks(static_cast<int>(state.range(0)));
    for (auto _ : state)
        model.ComputeCornerNormals(Quiet());
}
BENCHMARK(BM_CornerNormals)->Arg(65535)->Unit(benchmark::kMillisecond);

// The texture check of a model of 1,000 materials in a folder of 10,000
// files: one listing of the folder, then a look-up per name.
void BM_TextureCheck(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / "vnp-bench-textures";
    std::filesystem::create_directories(folder);
    C3dsModel model;
    for (int i = 0; i < 10000; ++i)
    {
        const std::string name = "texture" + std::to_string(i) + ".bmp";
        std::ofstream(folder / name) << i;
        if (i % 10 == 0)
            model.m_materials.push_back({"M", name});
    }
    model.m_nMaterialCount = static_cast<std::int32_t>(model.m_materials.size());
    const std::string modelPath = (folder / "model.3ds").string();
    for (auto _ : state)
    {
        std::vector<TextureUse> uses;
        benchmark::DoNotOptimize(CheckTextures(model, modelPath, Quiet(), uses));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_TextureCheck)->Unit(benchmark::kMillisecond);

// One frame of the preview (goal: at most 15 ms for 65,535 faces at
// 512 x 384), and what drawing keeps on the heap beside the model (goal:
// at most the image and its depth buffer, and the model's own size), also
// for a small model, beside which a fixed vertex cache would be too much.
void BM_DrawPreview(benchmark::State& state)
{
    const C3dsModel model = LoadRibbon(static_cast<int>(state.range(0)));
    const std::size_t before = mallinfo2().uordblks;
    CRenderer renderer;
    RgbaImage image;
    image.width = 512;
    image.height = 384;
    const CTextureSet textures;
    renderer.Draw(model, nullptr, textures, ViewAngles{}, image);
    const std::size_t heap = mallinfo2().uordblks - before;
    for (auto _ : state)
        renderer.Draw(model, nullptr, textures, ViewAngles{}, image);
    const MeshObject& mesh = model.m_meshes[0];
    const double modelBytes = mesh.vertexCount * (12.0 + 12 + 8) + mesh.faceCount * (16.0 + 12);
    state.counters["model_KiB"] = modelBytes / 1024;
    state.counters["image_depth_KiB"] = 512 * 384 * 8 / 1024.0;
    state.counters["drawing_KiB"] = static_cast<double>(heap) / 1024;
}
BENCHMARK(BM_DrawPreview)->Arg(65535)->Arg(256)->Unit(benchmark::kMillisecond);

// A command line thumbnail without its file: the drawing (range 1 = 0) or
// the drawing and the PNG encoding (range 1 = 1), 256 x 256 pixels.
void BM_Thumbnail(benchmark::State& state)
{
    const C3dsModel model = LoadRibbon(static_cast<int>(state.range(0)));
    std::vector<unsigned char> png;
    for (auto _ : state)
    {
        RgbaImage image;
        image.width = image.height = 256;
        CRenderer().Draw(model, nullptr, CTextureSet{}, ViewAngles{}, image);
        if (state.range(1) && !EncodePng(image, png))
            std::abort();
    }
}
BENCHMARK(BM_Thumbnail)->Args({16384, 0})->Args({16384, 1})->Unit(benchmark::kMillisecond);

void BM_WriteProject(benchmark::State& state)
{
    C3dsModel model = LoadRibbon(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state)
    {
        CProjectWriter writer("unused.vnp", &model, nullptr);
        NullSink sink;
        benchmark::DoNotOptimize(writer.WriteTo(sink, Quiet()));
        bytes += sink.m_bytes;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteProject)->Arg(65535)->Unit(benchmark::kMillisecond);

// The face records' numbers formatted anew at every corner, as the writer
// did before it made each vertex's text once: with the general formatter
// (std::to_chars, the writer's before) and with snprintf("%.4f").
template <typename Format> void WriteNumbersPerCorner(benchmark::State& state, Format format)
{
    const C3dsModel model = LoadRibbon(static_cast<int>(state.range(0)));
    const MeshObject& mesh = model.m_meshes[0];
    std::vector<char> text(std::size_t{64} << 20);
    std::size_t bytes = 0;
    const auto triple = [&](char* p, const Vector3& v) {
        p = format(p, v.x);
        *p++ = ',', *p++ = ' ';
        p = format(p, v.y);
        *p++ = ',', *p++ = ' ';
        p = format(p, v.z);
        *p++ = '\r', *p++ = '\n';
        return p;
    };
    for (auto _ : state)
    {
        char* p = text.data();
        for (const FaceEntry& face : mesh.Data().faces)
        {
            const std::uint32_t corners[4] = {face.vertexIndex[0], face.vertexIndex[2], face.vertexIndex[1],
                                              face.vertexIndex[0]};
            for (const std::uint32_t v : corners)
                p = triple(p, mesh.Data().vertices[v]);
            for (const std::uint32_t v : corners)
            {
                p = format(p, mesh.Data().mapCoords[v].u);
                *p++ = ',', *p++ = ' ';
                p = format(p, mesh.Data().mapCoords[v].v);
                *p++ = '\r', *p++ = '\n';
            }
            for (const std::uint32_t v : corners)
                p = triple(p, mesh.Data().vertexNormals[v]);
        }
        bytes += static_cast<std::size_t>(p - text.data());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_WriteNumbersPerCornerToChars(benchmark::State& state)
{
    WriteNumbersPerCorner(state, &FormatFixed4General);
}
BENCHMARK(BM_WriteNumbersPerCornerToChars)->Arg(65535)->Unit(benchmark::kMillisecond);

void BM_WriteNumbersPerCornerSnprintf(benchmark::State& state)
{
    WriteNumbersPerCorner(
        state, [](char* p, float value) { return p + std::snprintf(p, 64, "%.4f", double{value}); });
}
BENCHMARK(BM_WriteNumbersPerCornerSnprintf)->Arg(65535)->Unit(benchmark::kMillisecond);

// One number at a time, through each formatter.
template <typename Format> void FormatOne(benchmark::State& state, Format format)
{
    float value = 0.0f;
    char text[64];
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(format(text, value));
        value += 0.37f;
    }
}

void BM_FormatFixed4(benchmark::State& state)
{
    FormatOne(state, &FormatFixed4);
}
BENCHMARK(BM_FormatFixed4);

void BM_Snprintf4(benchmark::State& state)
{
    FormatOne(state, [](char* text, float value) { return std::snprintf(text, 64, "%.4f", double{value}); });
}
BENCHMARK(BM_Snprintf4);

void BM_ToChars4(benchmark::State& state)
{
    FormatOne(state, &FormatFixed4General);
}
BENCHMARK(BM_ToChars4);

} // namespace

// One frame of the dialog's preview (264 x 286 pixels, its size at 100%)
// of range(0) meshes of 65,535 faces: range(1) = 1 while the hand moves
// (the reduced model at half the resolution; goal: at most 33 ms on any
// model), 0 at rest (the full model, the same pixels as a thumbnail).
void BM_PreviewFrame(benchmark::State& state)
{
    C3dsModel model;
    for (int i = 0; i < state.range(0); ++i)
    {
        C3dsModel ribbon = LoadRibbon(65535);
        model.m_meshes.push_back(std::move(ribbon.m_meshes.front()));
    }
    model.m_nMeshCount = static_cast<std::int32_t>(model.m_meshes.size());
    const bool bMoving = state.range(1) != 0;
    const auto pReduced = bMoving ? ReduceModel(model, 20000) : nullptr;
    CRenderer renderer;
    RgbaImage image;
    image.width = bMoving ? 132 : 264;
    image.height = bMoving ? 143 : 286;
    const CTextureSet textures;
    ViewAngles view;
    for (auto _ : state)
    {
        view.yawDegrees += 3; // a drag: every frame another view
        renderer.Draw(pReduced ? *pReduced : model, nullptr, textures, view, image, 0xFFFFFFFF);
    }
    state.counters["faces"] = static_cast<double>(state.range(0)) * 65535;
}
BENCHMARK(BM_PreviewFrame)->Args({1, 1})->Args({16, 1})->Args({16, 0})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
