#include "test_support.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TempDir::TempDir()
{
    // 64 random bits: tests that run side by side never meet.
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("3ds2vnp-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    if (!std::filesystem::create_directory(m_path))
        throw std::runtime_error("cannot create " + m_path.string());
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool LoadBytes(C3dsModel& model, const build3ds::Bytes& bytes, const std::string& name)
{
    auto stream = build3ds::AsStream(bytes);
    platform::CMessageLog log = NotifierLog();
    if (!model.Load(stream, name, log))
        return false;
    model.ComputeNormals();
    return true;
}

C3dsModel LoadOk(const build3ds::Bytes& bytes)
{
    C3dsModel model;
    if (!LoadBytes(model, bytes))
        throw std::runtime_error("a model that must load was refused");
    return model;
}

MeshObject MakeMesh(std::vector<Vector3> vertices, std::vector<FaceEntry> faces)
{
    MeshObject mesh;
    mesh.name = "Hand";
    mesh.vertexCount = static_cast<std::int32_t>(vertices.size());
    mesh.faceCount = static_cast<std::int32_t>(faces.size());
    mesh.Data().vertices = std::move(vertices);
    mesh.Data().faces = std::move(faces);
    return mesh;
}
