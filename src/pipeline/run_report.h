#pragma once

#include "platform/messages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class C3dsModel;

// How a conversion ended.
enum class RunOutcome
{
    Converted, // every output asked for was written
    Failed,    // an error ended it; its messages say why
    Refused,   // it had nothing to write: a model without materials, an output it must not write
    Stopped,   // the user stopped it; nothing was changed
};

// What a run writes: the project file, its picture, the texture copies.
enum class OutputKind
{
    Project,
    Picture,
    Texture,
};

struct WrittenFile
{
    OutputKind kind = OutputKind::Project;
    std::string path;
};

// One texture a model names, as the run found and copied it.
struct TextureUse
{
    std::string name;
    std::optional<std::string> foundPath; // none: not found
    bool exact = false;                   // found at the place and in the spelling the name gives
    std::string copiedTo;                 // empty: not copied
};

// What happened in one conversion, for its front end to show: a box per
// message in the dialog, a line per message on the console.
struct RunReport
{
    std::string lod1Path;
    std::optional<std::string> lod2Path;
    std::string outputPath; // the project file it writes (or would have)
    RunOutcome outcome = RunOutcome::Failed;
    std::vector<platform::Message> messages;
    std::vector<WrittenFile> written;
    std::vector<TextureUse> textures;
    std::vector<std::string> mirroredMeshes;
    std::int64_t meshes = 0, faces = 0, vertices = 0; // of LOD 1 and LOD 2 together
    bool bCopyFailed = false;                         // a texture copy that was asked for could not be made
    double seconds = 0;

    // The path written for kind, none when nothing of it was.
    std::optional<std::string> Written(OutputKind kind) const;
};

// A front end's part in a run while it goes: each message the moment it is
// found (a box that the run waits for, a console line), and the busy
// cursor, which goes before the closing message.
class IRunHost
{
public:
    virtual ~IRunHost() = default;
    virtual void OnMessage(const platform::Message& message) = 0;
    virtual void OnBusy(bool bBusy) { (void)bBusy; }
};

// Draws the picture of a run's models: PNG bytes of size x size pixels;
// false when it could not be made. found: the textures the run has found
// (none when it has not looked), which the painter need not look for. What the user is to hear of it (a
// texture drawn grey, why it failed) goes into notes, to be shown as
// warnings. Called on any thread, with models that nothing changes
// meanwhile.
class IPicturePainter
{
public:
    virtual ~IPicturePainter() = default;
    [[nodiscard]] virtual bool Paint(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path,
                                     const C3dsModel* pLod2, const std::string& lod2Path,
                                     const std::vector<TextureUse>& found, std::vector<unsigned char>& png,
                                     std::vector<std::string>& notes) const = 0;
};
