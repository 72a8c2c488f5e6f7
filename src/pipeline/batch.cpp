#include "pipeline/batch.h"

#include "pipeline/run_guard.h"
#include "platform/progress.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace
{

// Runs each task on one of `threads` threads, and after every finished
// task calls printReady(first report not handed over yet), which hands over
// what it can and returns the new first; it is called on the calling
// thread only. When the system starts fewer threads (a limit on
// processes), the tasks run on those that started, or on the calling
// thread alone, after fewerThreads(number started) has been called once.
template <typename Task, typename Run, typename PrintReady, typename FewerThreads>
void RunTasks(const std::vector<Task>& tasks, std::size_t threads, Run run, PrintReady printReady,
              FewerThreads fewerThreads)
{
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t finished = 0;
    std::vector<std::thread> workers;
    for (std::size_t t = 0; threads > 1 && t < threads; ++t)
    {
        try
        {
            workers.emplace_back([&] {
                for (std::size_t i; (i = next++) < tasks.size();)
                {
                    run(tasks[i]);
                    const std::lock_guard lock(mutex);
                    ++finished;
                    changed.notify_one();
                }
            });
        }
        catch (const std::system_error&)
        {
            fewerThreads(workers.size());
            break;
        }
    }
    std::size_t printed = 0;
    if (workers.empty())
    {
        // Alone: on this thread, without the start and hand-over of another.
        for (const Task& task : tasks)
        {
            run(task);
            printed = printReady(printed);
        }
        return;
    }
    for (std::size_t seen = 0; seen < tasks.size();)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return finished > seen; });
        seen = finished;
        lock.unlock();
        printed = printReady(printed);
    }
    for (std::thread& worker : workers)
        worker.join();
    printReady(printed);
}

// Asks the host, at every check of every conversion, whether to go on,
// and then the front end's own progress, if any.
class CStopCheck final : public IProgress
{
public:
    CStopCheck(const IBatchHost& host, IProgress* pProgress) : m_host(host), m_pProgress(pProgress) {}
    bool Continue(std::uint64_t done, std::uint64_t total) override
    {
        return !m_host.StopRequested() && (!m_pProgress || m_pProgress->Continue(done, total));
    }

private:
    const IBatchHost& m_host;
    IProgress* m_pProgress;
};

} // namespace

std::vector<std::optional<RunReport>> RunBatch(const std::vector<ConversionRequest>& requests,
                                               std::size_t jobs, const IPicturePainter* pPainter,
                                               IBatchHost& host, const RunContext& base)
{
    CRunGuard guard;
    // Requests whose outputs name one file go to one task, in the order
    // given: a later one must not replace what an earlier one wrote.
    std::map<CRunGuard::Key, std::size_t> taskOfOutput;
    std::vector<std::vector<std::size_t>> tasks;
    for (std::size_t i = 0; i < requests.size(); ++i)
    {
        const ConversionRequest& request = requests[i];
        const auto [task, bNew] = taskOfOutput.emplace(
            CRunGuard::OutputKey(ConversionJob::OutputPath(request.outputDir, request.lod1Title)),
            tasks.size());
        if (bNew)
            tasks.emplace_back();
        tasks[task->second].push_back(i);
        // Every input is known before any output is written.
        for (const std::optional<std::string>& input : {request.lod1Path, request.lod2Path})
            if (input)
                guard.AddInput(*input);
    }

    std::vector<std::optional<RunReport>> reports(requests.size());
    const auto done = std::make_unique<std::atomic<bool>[]>(requests.size());
    const std::size_t threads = std::min<std::size_t>(std::max<std::size_t>(jobs, 1), tasks.size());
    CStopCheck stopCheck(host, base.pProgress);
    RunContext context = base;
    context.pProgress = &stopCheck;
    context.pGuard = &guard;
    context.pPainter = pPainter;
    context.bDrawBeside = threads < std::thread::hardware_concurrency();
    const auto runTask = [&](const std::vector<std::size_t>& task) {
        ConversionJob job;
        for (const std::size_t i : task)
        {
            if (!host.StopRequested())
                reports[i] = job.Run(requests[i], context);
            done[i].store(true, std::memory_order_release);
        }
    };
    const auto handOver = [&](std::size_t next) {
        for (; next < reports.size() && done[next].load(std::memory_order_acquire); ++next)
            if (reports[next])
                host.OnReport(next, *reports[next]);
        return next;
    };
    RunTasks(tasks, threads, runTask, handOver,
             [&](std::size_t started) { host.OnFewerThreads(started, threads); });
    return reports;
}
