#pragma once

#include "chunk_builder.h"
#include "recording_notifier.h"
#include "writer/output_file.h"

#include <filesystem>
#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string ReadWholeFile(const std::filesystem::path& path);

// Project text kept in memory.
class StringSink final : public IByteSink
{
public:
    bool Put(const char* data, std::size_t size) override
    {
        m_text.append(data, size);
        return true;
    }
    std::string m_text;
};

// Loads bytes as a model through the stream entry point, and computes
// its normals as a conversion does.
bool LoadBytes(C3dsModel& model, const build3ds::Bytes& bytes, const std::string& name = "test.3ds");
// The same for bytes that must load; throws when they do not.
C3dsModel LoadOk(const build3ds::Bytes& bytes);

// A mesh made by hand, without the reader's checks.
MeshObject MakeMesh(std::vector<Vector3> vertices, std::vector<FaceEntry> faces);
