#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// What one conversion of a batch printed, standard output and standard
// error lines in the order they came, to be printed whole once it is done.
class Transcript
{
public:
    void Add(bool bError, std::string text) { m_lines.emplace_back(bError, std::move(text)); }
    // Done: the printing thread may take it from now on.
    void Close() { m_bClosed.store(true, std::memory_order_release); }
    bool IsClosed() const { return m_bClosed.load(std::memory_order_acquire); }
    void PrintTo(std::ostream& out, std::ostream& err) const;

private:
    std::vector<std::pair<bool, std::string>> m_lines;
    std::atomic<bool> m_bClosed{false};
};

// An output stream into a transcript: each flush adds what was written
// since the last one.
class TranscriptBuffer : public std::streambuf
{
public:
    TranscriptBuffer(Transcript& transcript, bool bError) : m_transcript(transcript), m_bError(bError) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    Transcript& m_transcript;
    const bool m_bError;
    std::string m_pending;
};

class TranscriptStream : private TranscriptBuffer, public std::ostream
{
public:
    TranscriptStream(Transcript& transcript, bool bError)
        : TranscriptBuffer(transcript, bError), std::ostream(static_cast<TranscriptBuffer*>(this))
    {
    }
    ~TranscriptStream() override { flush(); }
};

// Runs each task on one of `threads` threads, and after every finished
// task calls printReady(first model not printed yet), which prints what it
// can and returns the new first; it is called on the calling thread only.
// When the system starts fewer threads (a limit on processes), the tasks
// run on those that started, or on the calling thread alone, after
// fewerThreads(number started) has been called once.
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
