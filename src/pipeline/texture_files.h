#pragma once

#include "platform/file_system.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class C3dsModel;

// A texture file named in a model, as found on disk.
struct TextureFile
{
    std::string path;     // the file, UTF-8
    std::string relative; // the same below the model's folder
    bool exact = false;   // at the place and in the spelling the name gives
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

// Looks for every texture of a model beside it; one warning lists those not
// found, and for one found only in another form the file there is. The
// files found, in the order of TextureNames, each with its name.
std::vector<std::pair<std::string, TextureFile>> CheckTextures(const C3dsModel& model,
                                                               const std::string& modelPath);

// The texture copies of a run of several conversions, which may run at
// once: a conversion never replaces a texture that another one copied in
// the same run with other bytes, just as it never replaces another's
// project file. Names that differ only in letter case are one file to the
// editor, and one here.
class CTextureClaims
{
public:
    // True when model may copy source to target; false after a warning,
    // when another model of the run copied a file of other bytes there.
    bool Claim(const std::string& target, const std::string& source, const std::string& model);

private:
    struct Holder
    {
        std::string source;
        std::string model;
    };
    std::mutex m_mutex;
    std::map<std::pair<platform::FileId, std::string>, Holder> m_holders; // by folder and lower-case name
};

// Copies each texture found for a model into the output folder under the
// name the project uses, so that the editor finds it there, unless the
// output folder is the model's own. A file there with the same bytes is
// left alone; any other is replaced only by a complete copy. A copy that
// fails is a warning naming the file and the reason. The files in keep
// (the project file, the models) are never written over, nor, with
// claims, the copies of other models of the run.
void CopyTextures(const std::vector<std::pair<std::string, TextureFile>>& textures,
                  const std::string& modelPath, const std::string& outputDir,
                  const std::vector<std::string>& keep, CTextureClaims* pClaims = nullptr);
