// Runs background jobs one at a time on a thread of its own, for work the
// window must not wait for. Only the newest request matters: posting a job
// replaces one still waiting and asks the running one to stop by its
// cancel flag. Results travel back by whatever the job itself does; an
// exception that leaves a job goes to the failure handler instead of ending
// the process, and the runner goes on with the next job.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class CLatestJobRunner {
public:
    // The job reads cancel now and then and returns soon once it is set.
    using Job = std::function<void(const std::atomic<bool>& cancel)>;
    // Called on the runner's thread once the failed job and its captures
    // are gone, so whatever it built is freed by then.
    using FailureHandler = std::function<void(std::exception_ptr error)>;

    explicit CLatestJobRunner(FailureHandler onFailure = nullptr);
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

    const FailureHandler onFailure;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    Job waiting;
    bool running = false;
    bool stopping = false;
    std::atomic<bool> cancel{false};
    std::thread thread;
};
