#pragma once

#include "pipeline/conversion_job.h"
#include "pipeline/run_report.h"

#include <cstddef>
#include <optional>
#include <vector>

// What a front end does with a batch as it goes.
class IBatchHost
{
public:
    virtual ~IBatchHost() = default;
    // The report of request index, called in the order of the requests as
    // soon as it and every one before it are done, on the calling thread;
    // not for a request that a stop left unreached.
    virtual void OnReport(std::size_t index, const RunReport& report) = 0;
    // The system started fewer threads than asked for (a limit on
    // processes); the batch goes on with started, or on the calling thread
    // alone when that is 0.
    virtual void OnFewerThreads(std::size_t started, std::size_t asked) { (void)started, (void)asked; }
    // Whether the run is to stop: a conversion under way ends as stopped
    // at its next check, and the requests not begun are not reached (no
    // report). Called on any thread.
    virtual bool StopRequested() const { return false; }
};

// Converts every request, jobs at once, as one run: no output replaces an
// input of the run, and no later request replaces what an earlier one
// wrote (requests whose project files are one file go, in their order, to
// one thread). With a processor to spare, a conversion draws its picture
// while it writes its project file. Each conversion hears and asks what
// base gives (its host, its progress beside the host's StopRequested, and
// whatever else a front end hands every job); the batch sets the guard,
// the painter and where the picture is drawn. The reports, in the order of
// the requests; none for a request not reached.
std::vector<std::optional<RunReport>> RunBatch(const std::vector<ConversionRequest>& requests,
                                               std::size_t jobs, const IPicturePainter* pPainter,
                                               IBatchHost& host, const RunContext& base = {});
