#include "dialog/converter_logic.h"

#include "dialog/control_ids.h"
#include "platform/notifier.h"
#include "platform/text_path.h"

#include <cctype>
#include <filesystem>
#include <limits>
#include <system_error>

void CConverterLogic::OnLod1Chosen(const std::optional<std::string>& path)
{
    if (!path)
    {
        m_strLod1Path.clear();
        m_strLod1Title.clear();
        m_bLod1Selected = false;
        return;
    }
    m_strLod1Path = *path;
    const std::size_t separator = platform::LastSeparator(m_strLod1Path);
    const std::string folder =
        separator == std::string::npos ? std::string() : m_strLod1Path.substr(0, separator);
    m_strLod1Title =
        FileTitle(separator == std::string::npos ? m_strLod1Path : m_strLod1Path.substr(separator + 1));
    m_bLod1Selected = true;
    if (m_strOutputDir.empty() || !m_bKeepOutputDir)
        m_strOutputDir = folder;
}

void CConverterLogic::OnLod2Chosen(const std::optional<std::string>& path)
{
    m_strLod2Path = path.value_or(std::string());
    m_bLod2Selected = path.has_value();
}

void CConverterLogic::OnFolderChosen(const std::optional<std::string>& folder)
{
    if (folder)
        m_strOutputDir = *folder;
}

void CConverterLogic::OnKeepSameDir(bool bChecked)
{
    m_bKeepOutputDir = bChecked;
}

void CConverterLogic::OnSmoothingGroups(bool bChecked)
{
    m_bSmoothingGroups = bChecked;
}

void CConverterLogic::OnCopyTextures(bool bChecked)
{
    m_bCopyTextures = bChecked;
}

void CConverterLogic::OnScaleMode(ScaleMode mode)
{
    m_scaleMode = mode;
}

void CConverterLogic::OnScaleFactorChange(const std::string& text)
{
    m_nScaleFactor = ReadUnsignedField(text);
}

ConversionRequest CConverterLogic::BuildRequest() const
{
    ConversionRequest request;
    if (m_bLod1Selected)
        request.lod1Path = m_strLod1Path;
    request.lod1Title = m_strLod1Title;
    if (m_bLod2Selected)
        request.lod2Path = m_strLod2Path;
    request.outputDir = m_strOutputDir;
    request.scaleMode = m_scaleMode;
    request.scaleFactor = m_nScaleFactor;
    request.smoothingGroups = m_bSmoothingGroups;
    request.copyTextures = m_bCopyTextures;
    return request;
}

void CConverterLogic::Convert()
{
    // The user asked for scaling: an empty box, 0 or a number beyond the
    // factor's range would quietly give an unscaled file.
    if (m_scaleMode != ScaleMode::ScaleNone && m_nScaleFactor < 1)
    {
        platform::ShowError("Please enter a whole-number scale factor of at least 1");
        return;
    }
    m_job.Run(BuildRequest());
}

const char* CConverterLogic::ToolTipText(int id)
{
    switch (id)
    {
    case kIdOpenLod1:
        return "Select a 3ds file to convert LOD 1";
    case kIdOpenLod2:
        return "Select a 3ds file to merge as LOD 2";
    case kIdSetOutputDir:
        return "Select the output directory for the converted file";
    case kIdKeepSameDir:
        return "Prevent from changing the output directory, default is same as input directory";
    case kIdConvert:
        return "Convert the 3ds file(s)";
    case kIdNoScaling:
        return "No scaling will be applied";
    case kIdScaleUp:
        return "Increase the overall size by multiplier factor";
    case kIdScaleDown:
        return "Reduce the overall size by divisor factor";
    case kIdScaleFactor:
        return "Multiplier or divisor for scaling operation";
    case kIdAbout:
        return "Info on this tool";
    case kIdOk:
        return "Close this tool";
    case kIdSmoothingGroups:
        return "Give each face the normals of its smoothing groups, so hard edges stay hard";
    case kIdCopyTextures:
        return "Copy the texture files the project uses into the output folder";
    default:
        return "";
    }
}

std::optional<std::string> CConverterLogic::DroppedModel(const std::vector<std::string>& paths)
{
    if (paths.size() != 1)
        return std::nullopt;
    const std::filesystem::path path = platform::PathFromUtf8(paths.front());
    std::string extension = platform::Utf8FromPath(path.extension());
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::error_code error;
    if (extension != ".3ds" || !std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    return paths.front();
}

std::int32_t CConverterLogic::ReadUnsignedField(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return 0;
    }
    if (i == first)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}
