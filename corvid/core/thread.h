#pragma once
// A fixed set of worker threads that run numbered jobs in parallel. The editor
// thread hands out one batch at a time and waits for it; a batch of one is run
// inline without touching the workers. runParallel leaves the queued jobs to the
// workers; runParallelWithCaller has the calling thread take jobs as well.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace corvid {

// Non-owning reference to a callable taking the job index. Batches handed to
// runParallel only live for the call, so a reference is enough and no per-frame
// allocation happens however much the job captures.
class ParallelJob {
public:
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<F>, ParallelJob>>>
    ParallelJob(F&& f) noexcept // NOLINT: implicit on purpose, lambdas convert at the call
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          invoke_([](void* object, int index) {
              (*static_cast<std::remove_reference_t<F>*>(object))(index);
          }) {}

    void operator()(int index) const { invoke_(object_, index); }

private:
    void* object_;
    void (*invoke_)(void*, int);
};

// Names the calling thread where the platform shows thread names (profilers, top);
// elsewhere it does nothing. At most 15 characters are kept.
void nameCurrentThread(const char* name);

class ThreadPool {
public:
    // One worker per processor the system reports (at least one).
    ThreadPool();
    // A fixed number of workers (at least one); lets tests pin the shape of the pool.
    explicit ThreadPool(int workerCount);
    virtual ~ThreadPool();

    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Runs job(0) .. job(count - 1) and returns when all have finished. A count of
    // one runs on the caller; zero or less does nothing.
    virtual void runParallel(int count, ParallelJob job);
    // The same, but the caller takes jobs too rather than sleeping until the workers
    // are done: the batch starts without waiting for a worker to wake up, a batch
    // of small jobs often ends before one does, and while other programs keep the
    // processors busy the caller's own time slices still do work.
    virtual void runParallelWithCaller(int count, ParallelJob job);
    // Starts the jobs and returns at once. The pool keeps its own copy of the
    // callable, so a temporary is safe. A batch still running is waited for first.
    virtual void startParallel(int count, std::function<void(int)> job);
    // Waits for the batch begun by startParallel; returns at once if there is none.
    virtual void waitParallel();

    int workerCount() const { return static_cast<int>(workers_.size()); }
    // How many jobs the workers have taken since construction (for diagnostics).
    std::uint64_t jobsTakenByWorkers() const;

private:
    void start(int workerCount);
    void runBatch(int count, ParallelJob job, bool callerTakesJobs);
    void dispatch(int count, ParallelJob job);
    // Runs jobs of the current batch until none is left to hand out.
    void takeJobs(ParallelJob job);
    void workerLoop();

    std::vector<std::thread> workers_;

    mutable std::mutex stateMutex_;
    std::condition_variable workAvailable_;
    std::mutex doneMutex_;
    std::condition_variable jobDone_;

    ParallelJob currentJob_{noJob_};
    std::function<void(int)> ownedJob_;
    int jobCount_ = 0;
    int nextIndex_ = 0;
    int finishedCount_ = 0; // guarded by doneMutex_
    bool stop_ = false;
    bool waitingPending_ = false;
    std::uint64_t jobsTaken_ = 0;

    static void noJobFunction(int) {}
    static inline void (*noJob_)(int) = &noJobFunction;
};

} // namespace corvid
