#pragma once

#include "pipeline/conversion_job.h"
#include "pipeline/run_report.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class C3dsModel;
struct TextureFile;

// The choices of a run, as its report records them.
struct ReportedOptions
{
    ConversionRequest base; // what every model shares; outputDir empty: each model's own folder
    std::size_t jobs = 1;
    bool bUpdate = false;
};

// One model of a run: its report, or none when the run ended before it.
struct ReportedModel
{
    std::string input;
    std::optional<RunReport> report;
    bool bUpToDate = false; // skipped: its outputs are newer than its inputs
};

// The report of a conversion run as one JSON document (UTF-8, ending in a
// line break): the program, the options and every model in the order
// given.
std::string RunReportJson(const ReportedOptions& options, const std::vector<ReportedModel>& models);

// What --info prints of one model, for RunInfoJson.
struct InfoModel
{
    std::string path;
    const C3dsModel* pModel = nullptr;                // none: it could not be read
    std::vector<std::string> errors;                  // why not
    std::vector<std::optional<TextureFile>> textures; // per material, as FindTextures found them
};

// --info --json: the facts of every model as one JSON document.
std::string InfoJson(const std::vector<InfoModel>& models);
