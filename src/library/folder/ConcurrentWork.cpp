#include "library/folder/ConcurrentWork.h"

#include "library/folder/IOObservation.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace VeltoPageLibrary {

namespace {

// Below this many pieces of work, waking the workers costs more than it saves.
constexpr std::size_t minimumCountForWorkers = 8;

/// One call's work, shared by the calling thread and the workers.
struct Job {
    std::size_t count = 0;
    const std::function<void(std::size_t)> *work = nullptr;
    std::shared_ptr<VeltoLibraryIOObserver> observer;
    std::atomic<std::size_t> nextIndex = 0;
    std::mutex errorLock;
    std::exception_ptr firstError;
    std::size_t firstErrorIndex = 0;

    void runIndexes() {
        VeltoLibraryIOObservation::Binding binding(observer);
        for (std::size_t index = nextIndex++; index < count; index = nextIndex++) {
            try {
                (*work)(index);
            } catch (...) {
                std::lock_guard guard(errorLock);
                if (!firstError || index < firstErrorIndex) {
                    firstErrorIndex = index;
                    firstError = std::current_exception();
                }
            }
        }
    }
};

/// Threads started once and kept for the process: starting threads for every load would cost as much as
/// reading the library's files. One job runs at a time; a caller that finds the pool busy does its work alone.
class WorkerPool {
public:
    static WorkerPool &shared() {
        // Never destroyed: the workers wait on it until the process ends.
        static WorkerPool *pool = new WorkerPool(std::max(1u, std::thread::hardware_concurrency()) - 1);
        return *pool;
    }

    std::size_t workerCount() const { return workers; }

    /// Runs the job on the workers and the calling thread; false when another job holds the pool.
    bool tryRun(Job &job) {
        {
            std::unique_lock lock(mutex);
            if (current != nullptr) {
                return false;
            }
            current = &job;
            busyWorkers = workers;
            ++generation;
        }
        wake.notify_all();
        job.runIndexes();
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return busyWorkers == 0; });
        current = nullptr;
        return true;
    }

private:
    explicit WorkerPool(std::size_t workers)
        : workers(workers) {
        for (std::size_t index = 0; index < workers; ++index) {
            std::thread(&WorkerPool::serve, this).detach();
        }
    }

    void serve() {
        std::uint64_t served = 0;
        for (;;) {
            Job *job = nullptr;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return generation != served; });
                served = generation;
                job = current;
            }
            job->runIndexes();
            {
                std::lock_guard lock(mutex);
                --busyWorkers;
            }
            finished.notify_all();
        }
    }

    const std::size_t workers;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    Job *current = nullptr;
    std::size_t busyWorkers = 0;
    std::uint64_t generation = 0;
};

} // namespace

bool mayWorkConcurrently(const velto::FileSystem &fileManager) {
    return fileManager.allowsConcurrentCalls();
}

void forEachIndexConcurrently(std::size_t count, const std::function<void(std::size_t index)> &work) {
    Job job;
    job.count = count;
    job.work = &work;
    job.observer = VeltoLibraryIOObservation::current();
    bool ranOnWorkers = false;
    if (count >= minimumCountForWorkers && WorkerPool::shared().workerCount() > 0) {
        ranOnWorkers = WorkerPool::shared().tryRun(job);
    }
    if (!ranOnWorkers) {
        job.runIndexes();
    }
    if (job.firstError) {
        std::rethrow_exception(job.firstError);
    }
}

} // namespace VeltoPageLibrary
