#include "cli/json_report.h"

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "platform/console_text.h"
#include "vnp_config.h"

#include <nlohmann/json.hpp>

namespace
{

using nlohmann::ordered_json; // keys in the order written, so the documents read top down

// Whether text is well-formed UTF-8: no stray continuation byte, no
// overlong form, no surrogate, nothing above U+10FFFF.
bool IsUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();)
    {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned least = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF)
            length = 2, least = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, least = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, least = 0x10000;
        else
            return false;
        if (length > text.size() - i)
            return false;
        unsigned code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
        {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// A name or path under key. Names come from files and file systems and need
// not be UTF-8, which JSON text must be: such bytes are written as U+FFFD
// (when the document is dumped), and the raw bytes in hex under key + "Hex",
// so a program can still find the file.
void PutName(ordered_json& object, const char* key, const std::string& name)
{
    object[key] = name;
    if (IsUtf8(name))
        return;
    constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const char c : name)
    {
        const auto byte = static_cast<unsigned char>(c);
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0xF];
    }
    object[std::string(key) + "Hex"] = hex;
}

ordered_json NameOrNull(const std::optional<std::string>& name, const char* key)
{
    ordered_json holder = ordered_json::object();
    if (name)
        PutName(holder, key, *name);
    else
        holder[key] = nullptr;
    return holder;
}

const char* KindName(platform::MessageKind kind)
{
    switch (kind)
    {
    case platform::MessageKind::Error:
        return "error";
    case platform::MessageKind::Warning:
        return "warning";
    case platform::MessageKind::Info:
        break;
    }
    return "info";
}

const char* OutcomeName(RunOutcome outcome)
{
    switch (outcome)
    {
    case RunOutcome::Converted:
        return "converted";
    case RunOutcome::Refused:
        return "refused";
    case RunOutcome::Stopped:
        return "stopped";
    case RunOutcome::Failed:
        break;
    }
    return "failed";
}

// Folds a sub-object's keys into object (for the optional names, which may
// bring their hex twin along).
void Merge(ordered_json& object, const ordered_json& part)
{
    for (const auto& [key, value] : part.items())
        object[key] = value;
}

std::string Dump(const ordered_json& document)
{
    // Bytes that are no UTF-8 become U+FFFD rather than an exception.
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + '\n';
}

ordered_json OptionsJson(const ReportedOptions& options)
{
    const ConversionRequest& base = options.base;
    ordered_json json = ordered_json::object();
    Merge(json,
          NameOrNull(base.outputDir.empty() ? std::nullopt : std::optional(base.outputDir), "outputDir"));
    json["scale"] = base.scaleMode == ScaleMode::ScaleUp     ? "up"
                    : base.scaleMode == ScaleMode::ScaleDown ? "down"
                                                             : "none";
    json["scaleFactor"] = base.scaleMode == ScaleMode::ScaleNone ? 1 : base.scaleFactor;
    json["smoothingGroups"] = base.smoothingGroups;
    json["copyTextures"] = base.copyTextures;
    json["thumbnail"] = base.pictureSize > 0 ? ordered_json(base.pictureSize) : ordered_json(nullptr);
    json["thumbnailOnly"] = !base.writeProject;
    json["jobs"] = options.jobs;
    json["update"] = options.bUpdate;
    return json;
}

ordered_json ModelJson(const ReportedModel& model)
{
    ordered_json json = ordered_json::object();
    PutName(json, "input", model.input);
    if (!model.report)
    {
        // The run ended (an interrupt) before this model was begun.
        json["outcome"] = "not-reached";
        return json;
    }
    const RunReport& report = *model.report;
    Merge(json, NameOrNull(report.lod2Path, "lod2"));
    // A model up to date keeps the output an earlier run wrote.
    Merge(json, NameOrNull(model.bUpToDate && report.written.empty() ? std::optional(report.outputPath)
                                                                     : report.Written(OutputKind::Project),
                           "output"));
    json["outcome"] = model.bUpToDate ? "up-to-date" : OutcomeName(report.outcome);
    ordered_json messages = ordered_json::array();
    for (const platform::Message& message : report.messages)
        messages.push_back({{"kind", KindName(message.kind)}, {"text", platform::OneLine(message.text)}});
    json["messages"] = std::move(messages);
    json["meshes"] = report.meshes;
    json["faces"] = report.faces;
    json["vertices"] = report.vertices;
    ordered_json textures = ordered_json::array();
    for (const TextureUse& texture : report.textures)
    {
        ordered_json entry = ordered_json::object();
        PutName(entry, "name", texture.name);
        Merge(entry, NameOrNull(texture.foundPath, "found"));
        Merge(entry, NameOrNull(texture.copiedTo.empty() ? std::nullopt : std::optional(texture.copiedTo),
                                "copiedTo"));
        textures.push_back(std::move(entry));
    }
    json["textures"] = std::move(textures);
    ordered_json mirrored = ordered_json::array();
    for (const std::string& mesh : report.mirroredMeshes)
    {
        ordered_json entry = ordered_json::object();
        PutName(entry, "name", mesh);
        mirrored.push_back(std::move(entry));
    }
    json["mirroredMeshes"] = std::move(mirrored);
    Merge(json, NameOrNull(report.Written(OutputKind::Picture), "picture"));
    json["seconds"] = report.seconds;
    return json;
}

} // namespace

std::string RunReportJson(const ReportedOptions& options, const std::vector<ReportedModel>& models)
{
    ordered_json document = ordered_json::object();
    document["program"] = "3ds2vnp";
    document["version"] = VNP_VERSION;
    document["options"] = OptionsJson(options);
    ordered_json list = ordered_json::array();
    for (const ReportedModel& model : models)
        list.push_back(ModelJson(model));
    document["models"] = std::move(list);
    return Dump(document);
}

std::string InfoJson(const std::vector<InfoModel>& models)
{
    ordered_json document = ordered_json::object();
    document["program"] = "3ds2vnp";
    document["version"] = VNP_VERSION;
    ordered_json list = ordered_json::array();
    for (const InfoModel& info : models)
    {
        ordered_json json = ordered_json::object();
        PutName(json, "path", info.path);
        json["read"] = info.pModel != nullptr;
        ordered_json errors = ordered_json::array();
        for (const std::string& error : info.errors)
            errors.push_back(platform::OneLine(error));
        json["errors"] = std::move(errors);
        if (info.pModel)
        {
            const C3dsModel& model = *info.pModel;
            ordered_json meshes = ordered_json::array();
            for (const MeshObject& mesh : model.m_meshes)
            {
                ordered_json entry = ordered_json::object();
                PutName(entry, "name", mesh.name.Str());
                entry["vertices"] = mesh.vertexCount;
                entry["faces"] = mesh.faceCount;
                entry["mappingCoordinates"] = mesh.mapCoordCount;
                meshes.push_back(std::move(entry));
            }
            json["meshes"] = std::move(meshes);
            ordered_json materials = ordered_json::array();
            for (std::size_t i = 0; i < model.m_materials.size(); ++i)
            {
                const MaterialEntry& material = model.m_materials[i];
                ordered_json entry = ordered_json::object();
                PutName(entry, "name", material.name);
                if (material.mapName.empty())
                    entry["texture"] = nullptr;
                else
                {
                    ordered_json texture = ordered_json::object();
                    PutName(texture, "name", material.mapName);
                    const std::optional<TextureFile>& file =
                        i < info.textures.size() ? info.textures[i] : std::optional<TextureFile>();
                    Merge(texture,
                          NameOrNull(file ? std::optional(file->file.Path()) : std::nullopt, "found"));
                    texture["exact"] = file && file->exact;
                    entry["texture"] = std::move(texture);
                }
                materials.push_back(std::move(entry));
            }
            json["materials"] = std::move(materials);
        }
        list.push_back(std::move(json));
    }
    document["models"] = std::move(list);
    return Dump(document);
}
