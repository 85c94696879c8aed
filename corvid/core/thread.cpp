#include "corvid/core/thread.h"

#include "corvid/core/error.h"

#include <system_error>

#if defined(__linux__)
#include <pthread.h>

#include <cstring>
#endif

namespace corvid {

void nameCurrentThread(const char* name) {
#if defined(__linux__)
    char shortName[16] = {};
    std::strncpy(shortName, name, sizeof shortName - 1);
    pthread_setname_np(pthread_self(), shortName);
#else
    (void)name;
#endif
}

ThreadPool::ThreadPool() {
    const unsigned processors = std::thread::hardware_concurrency();
    start(processors == 0 ? 1 : static_cast<int>(processors));
}

ThreadPool::ThreadPool(int workerCount) {
    start(workerCount < 1 ? 1 : workerCount);
}

void ThreadPool::start(int workerCount) {
    try {
        workers_.reserve(static_cast<size_t>(workerCount));
        for (int i = 0; i < workerCount; ++i) workers_.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
        // The editor cannot paint without its workers.
        fatalError("could not create the thread pool's worker threads");
    }
}

ThreadPool::~ThreadPool() {
    // A batch left running by startParallel still references state owned here.
    waitParallel();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        stop_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::runParallel(int count, ParallelJob job) {
    runBatch(count, job, false);
}

void ThreadPool::runParallelWithCaller(int count, ParallelJob job) {
    runBatch(count, job, true);
}

void ThreadPool::runBatch(int count, ParallelJob job, bool callerTakesJobs) {
    if (count <= 0) return;
    if (count == 1) {
        job(0);
        return;
    }
    waitParallel();
    dispatch(count, job);
    if (callerTakesJobs) takeJobs(job);
    waitParallel();
}

void ThreadPool::takeJobs(ParallelJob job) {
    for (;;) {
        int index = 0;
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            if (nextIndex_ >= jobCount_) return;
            index = nextIndex_++;
        }
        job(index);
        // The caller is the only one who waits for the count, and it is here.
        std::lock_guard<std::mutex> doneLock(doneMutex_);
        ++finishedCount_;
    }
}

void ThreadPool::startParallel(int count, std::function<void(int)> job) {
    if (count <= 0 || !job) return;
    // Replacing the job under a running batch would hand its remaining indices to
    // the wrong callable.
    waitParallel();
    ownedJob_ = std::move(job);
    dispatch(count, ParallelJob(ownedJob_));
}

void ThreadPool::dispatch(int count, ParallelJob job) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        currentJob_ = job;
        jobCount_ = count;
        nextIndex_ = 0;
        {
            std::lock_guard<std::mutex> doneLock(doneMutex_);
            finishedCount_ = 0;
        }
        waitingPending_ = true;
    }
    workAvailable_.notify_all();
}

void ThreadPool::waitParallel() {
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (!waitingPending_) return;
        count = jobCount_;
    }
    {
        std::unique_lock<std::mutex> doneLock(doneMutex_);
        jobDone_.wait(doneLock, [&] { return finishedCount_ >= count; });
    }
    std::lock_guard<std::mutex> lock(stateMutex_);
    waitingPending_ = false;
}

std::uint64_t ThreadPool::jobsTakenByWorkers() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return jobsTaken_;
}

void ThreadPool::workerLoop() {
    nameCurrentThread("corvid-pool");
    for (;;) {
        int index = 0;
        ParallelJob job = noJob_;
        {
            std::unique_lock<std::mutex> lock(stateMutex_);
            workAvailable_.wait(lock, [&] { return stop_ || nextIndex_ < jobCount_; });
            if (nextIndex_ >= jobCount_) return; // stopping with nothing left to hand out
            index = nextIndex_++;
            job = currentJob_;
            ++jobsTaken_;
        }
        job(index);
        bool last = false;
        {
            std::lock_guard<std::mutex> doneLock(doneMutex_);
            last = ++finishedCount_ == jobCount_;
        }
        if (last) jobDone_.notify_all();
    }
}

} // namespace corvid
