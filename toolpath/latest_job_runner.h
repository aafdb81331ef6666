// Runs background jobs one at a time on a thread of its own, for work the
// window must not wait for. Only the newest request matters: posting a job
// replaces one still waiting and asks the running one to stop by its
// cancel flag. Results travel back by whatever the job itself does.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CLatestJobRunner {
public:
    // The job reads cancel now and then and returns soon once it is set.
    using Job = std::function<void(const std::atomic<bool>& cancel)>;

    CLatestJobRunner();
    // Cancels and waits for the running job.
    ~CLatestJobRunner();
    CLatestJobRunner(const CLatestJobRunner&) = delete;
    CLatestJobRunner& operator=(const CLatestJobRunner&) = delete;

    void Post(Job job);
    // Drops a waiting job, cancels the running one and returns once it has
    // ended.
    void CancelAndWait();
    // Returns once no job runs or waits.
    void WaitIdle();
    bool IsBusy() const;

private:
    void Run();

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    Job waiting;
    bool running = false;
    bool stopping = false;
    std::atomic<bool> cancel{false};
    std::thread thread;
};
