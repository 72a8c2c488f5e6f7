#pragma once

#include "pipeline/run_report.h"
#include "platform/file_ref.h"
#include "platform/file_system.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class C3dsModel;
class CRunGuard;

// A texture file named in a model, as found on disk.
struct TextureFile
{
    platform::CFileRef file; // the file as found
    std::string relative;    // the same below the model's folder
    bool exact = false;      // at the place and in the spelling the name gives
};

// Finds the texture files that a model names the way modellers lay them
// out: in the model's folder or any folder below it, without regard to
// letter case or to a folder part of the name ("\" or "/"), and also as a
// longer file whose 8.3 form the name is (BRICKWAL.BMP for brickwall.bmp).
// Each folder is listed once, whatever the number of names; the folders
// below are listed only when a name is not found beside the model. Of
// several files for a name, the one fewest folders down is taken, then the
// first by path, so that every run picks the same. One result per name.
std::vector<std::optional<TextureFile>> FindTextures(const std::string& modelFolder,
                                                     const std::vector<std::string>& names);

// The texture file names of a model that the project will list, each once,
// in material order; materials without a texture ("default.bmp") are left
// out.
std::vector<std::string> TextureNames(const C3dsModel& model);

// The folder of a model file, "." for a bare name.
std::string ParentFolder(const std::string& modelPath);

// Looks for every texture of a model beside it; one warning in log lists
// those not found, and for one found only in another form the file there
// is. Each texture, found or not, goes into textures (in the order of
// TextureNames); the files found are returned, each with its name.
std::vector<std::pair<std::string, TextureFile>> CheckTextures(const C3dsModel& model,
                                                               const std::string& modelPath,
                                                               platform::CMessageLog& log,
                                                               std::vector<TextureUse>& textures);

// Copies each texture found for a model into the output folder under the
// name the project uses, so that the editor finds it there, unless the
// output folder is the model's own. Each copy is an output of the run,
// claimed from guard first, and written whole or not at all with the
// source's permission bits. A file there with the same bytes is left
// alone; one with other bytes is replaced only by a newer source, and
// either way a warning says so. A copy that fails is a warning naming the
// file and the reason, and marks the report (bCopyFailed); a copy made is
// noted in the report's texture and written files.
void CopyTextures(const std::vector<std::pair<std::string, TextureFile>>& textures,
                  const std::string& modelPath, const std::string& outputDir, CRunGuard& guard,
                  platform::CMessageLog& log, RunReport& report);
