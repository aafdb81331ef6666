#include "latest_job_runner.h"

#include <utility>

CLatestJobRunner::CLatestJobRunner(FailureHandler onFailure)
    : onFailure(std::move(onFailure)), thread(&CLatestJobRunner::Run, this)
{
}

CLatestJobRunner::~CLatestJobRunner()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        waiting = nullptr;
        cancel = true;
    }
    wake.notify_all();
    thread.join();
}

void CLatestJobRunner::Post(Job job)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        waiting = std::move(job);
        if (running)
            cancel = true;
    }
    wake.notify_all();
}

void CLatestJobRunner::CancelAndWait()
{
    std::unique_lock<std::mutex> lock(mutex);
    waiting = nullptr;
    if (running)
        cancel = true;
    idle.wait(lock, [this]() { return !running; });
}

void CLatestJobRunner::WaitIdle()
{
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this]() { return !running && !waiting; });
}

bool CLatestJobRunner::IsBusy() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return running || waiting;
}

void CLatestJobRunner::Run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this]() { return stopping || waiting; });
        if (stopping)
            return;
        Job job = std::move(waiting);
        waiting = nullptr;
        running = true;
        cancel = false;
        lock.unlock();
        std::exception_ptr error;
        try {
            job(cancel);
        } catch (...) {
            error = std::current_exception();
        }
        // The job's captures go before the runner says it is idle: they may
        // hold what a waiting caller is about to free.
        job = nullptr;
        if (error != nullptr && onFailure)
            onFailure(error);
        lock.lock();
        running = false;
        idle.notify_all();
    }
}
