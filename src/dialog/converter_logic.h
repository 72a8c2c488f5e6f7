#pragma once

#include "pipeline/conversion_job.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The main dialog's choices and rules, for every desktop view: what the user
// chose, what is enabled when, the keep-same-folder rule, the title and the
// folder taken from a chosen file, the scale factor as read from its box,
// and the request that Convert hands to the job. A view makes the controls,
// forwards the user's commands here and shows the state it reads back.
// Paths are UTF-8.
class CConverterLogic
{
public:
    // The LOD 1 chooser ended: the chosen file, or none when it was cancelled
    // (which drops the LOD 1 choice but keeps LOD 2 and the folder).
    void OnLod1Chosen(const std::optional<std::string>& path);
    // The LOD 2 chooser ended; a cancel drops the LOD 2 choice only.
    void OnLod2Chosen(const std::optional<std::string>& path);
    // The folder browser ended; none leaves the output folder as it was.
    void OnFolderChosen(const std::optional<std::string>& folder);
    void OnKeepSameDir(bool bChecked);
    // The two check boxes below the "Conversion" group; both go into the
    // request.
    void OnSmoothingGroups(bool bChecked);
    void OnCopyTextures(bool bChecked);
    void OnScaleMode(ScaleMode mode);
    // The scale factor box's text changed.
    void OnScaleFactorChange(const std::string& text);

    // Runs the conversion of the current choices; the job tells the user
    // the outcome, and the choices stay as they are. With scaling chosen, a
    // factor below 1 (an empty box, 0, or beyond 2^31 - 1) is refused
    // before anything is loaded.
    void Convert();
    ConversionRequest BuildRequest() const;

    const std::string& Lod1Path() const { return m_strLod1Path; }
    const std::string& Lod2Path() const { return m_strLod2Path; }
    const std::string& OutputDir() const { return m_strOutputDir; }
    ScaleMode GetScaleMode() const { return m_scaleMode; }
    bool IsConvertEnabled() const { return m_bLod1Selected; }
    bool IsLod2ChooserEnabled() const { return m_bLod1Selected; }
    bool IsScaleFactorEnabled() const { return m_scaleMode != ScaleMode::ScaleNone; }

    // The tooltip of a control; empty for controls that show none.
    static const char* ToolTipText(int id);
    // What a drop chooses as the LOD 1 file: the one dropped path when it
    // is a regular file whose extension is .3ds in any letter case.
    static std::optional<std::string> DroppedModel(const std::vector<std::string>& paths);
    // A text read the way a Windows dialog reads an unsigned number from an
    // edit box: leading blanks skipped, then decimal digits; 0 when there
    // are none or the number does not fit 32 bits. The bits are taken as
    // signed.
    static std::int32_t ReadUnsignedField(const std::string& text);

private:
    std::string m_strLod1Path;
    std::string m_strLod1Title;
    std::string m_strLod2Path;
    std::string m_strOutputDir;
    bool m_bLod1Selected = false;
    bool m_bLod2Selected = false;
    bool m_bKeepOutputDir = false;
    bool m_bSmoothingGroups = false;
    bool m_bCopyTextures = false;
    std::int32_t m_nScaleFactor = 0;
    ScaleMode m_scaleMode = ScaleMode::ScaleNone;
    ConversionJob m_job;
};
