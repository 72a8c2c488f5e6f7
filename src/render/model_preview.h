#pragma once

#include "model/c3ds_model.h"
#include "render/renderer.h"

#include <memory>
#include <optional>
#include <string>

// The models of a preview, read on a worker thread and then handed to the
// window's thread whole.
struct PreviewModels
{
    std::unique_ptr<C3dsModel> pLod1, pLod2;
    CTextureSet textures;
    std::string reason; // why a model could not be read; empty when both were
};

// Reads the chosen models and their textures. Safe on any thread: what
// the reader would report goes into reason, never to the user, since the
// designed messages belong to Convert.
std::unique_ptr<PreviewModels> LoadPreviewModels(const std::string& lod1Path,
                                                 const std::optional<std::string>& lod2Path);

// The preview area's state, shared by the Qt and the Win32 view: the
// models shown, the camera the mouse turns, and the lines under the
// picture.
class CModelPreview
{
public:
    CModelPreview();
    ~CModelPreview();

    void SetModels(std::shared_ptr<const PreviewModels> pModels);
    bool HasPicture() const;

    // A drag of dx, dy pixels turns the model; a wheel step of 120 (one
    // notch) zooms by an eighth; Reset goes back to the product shot.
    void Orbit(int dx, int dy);
    void Zoom(int wheelDelta);
    void Reset() { m_view = ViewAngles{}; }

    // The picture, width x height, on the given background (RGBA).
    void Draw(RgbaImage& image, std::uint32_t background);

    // Under the picture: the reason a model could not be read, or the
    // counts and the size after scaling by multiplier, in model units.
    std::string Caption(float multiplier) const;

private:
    std::shared_ptr<const PreviewModels> m_pModels;
    CRenderer m_renderer;
    ViewAngles m_view;
};
