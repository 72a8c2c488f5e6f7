// Loads arbitrary bytes as a .3ds file; on success writes the project text
// to memory. Any crash, hang or outsized allocation is a finding.

#include "model/c3ds_model.h"
#include "writer/output_file.h"
#include "writer/project_writer.h"

namespace
{

class NullSink final : public IByteSink
{
public:
    bool Put(const char*, std::size_t) override { return true; }
};

} // namespace

#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    C3dsModel model;
    platform::CMessageLog log;
    if (model.Load(stream, "fuzz.3ds", log) && model.m_nMaterialCount > 0)
    {
        model.ComputeNormals();
        CProjectWriter writer("unused.vnp", &model, nullptr);
        NullSink sink;
        (void)writer.WriteTo(sink, log);
    }
    return 0;
}
