#pragma once

#include "model/c3ds_model.h"
#include "platform/file_system.h"
#include "render/renderer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The models of a preview, read on a worker thread and then handed to the
// window's thread whole. The reduced models are drawn while the user turns
// the view; each is null when its model is within the budget already.
struct PreviewModels
{
    std::unique_ptr<C3dsModel> pLod1, pLod2;
    // For a conversion that takes a model as read: its file's facts when
    // read (exists false when the file changed during the read) and what
    // its reading said.
    platform::FileFacts lod1Facts, lod2Facts;
    std::vector<platform::Message> lod1Messages, lod2Messages;
    std::unique_ptr<C3dsModel> pReducedLod1, pReducedLod2;
    CTextureSet textures;
    std::string reason; // why a model could not be read; empty when both were
};

// Reads the chosen models and their textures, and reduces each to its
// share of faceBudget. Safe on any thread: what the reader would report
// goes into reason, never to the user, since the designed messages belong
// to Convert.
std::unique_ptr<PreviewModels> LoadPreviewModels(const std::string& lod1Path,
                                                 const std::optional<std::string>& lod2Path,
                                                 std::size_t faceBudget);

// A copy of model with at most faceBudget of its faces, every n-th of all
// in file order (so always the same ones), their vertices only, and one
// more mesh without faces holding the corners of the whole model's box,
// so that the reduced picture is framed as the full one. Null when the
// model has no more faces than the budget.
std::unique_ptr<C3dsModel> ReduceModel(const C3dsModel& model, std::size_t faceBudget);

// Under the picture: the reason a model could not be read, or the counts
// and the size after scaling by multiplier, in model units.
std::string PreviewCaption(const PreviewModels& models, float multiplier);
