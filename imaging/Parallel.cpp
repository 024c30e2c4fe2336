#include "imaging/Parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quill {
namespace {

// A small pool of worker threads that live for the whole program. One job runs at a
// time; the caller takes part in its own job and waits until every band is done.
class BandPool {
  public:
    BandPool() {
        unsigned n = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 1; i < n; ++i)
            m_threads.emplace_back([this] { workerLoop(); });
    }
    ~BandPool() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (auto& t : m_threads)
            t.join();
    }

    int threads() const { return int(m_threads.size()) + 1; }

    void run(int bands, int rows, const std::function<void(int, int)>& body) {
        std::lock_guard jobLock(m_jobMutex); // one job at a time; nested calls run serially
        {
            std::lock_guard lock(m_mutex);
            m_body = &body;
            m_rows = rows;
            m_bands = bands;
            m_nextBand.store(0);
            m_pending = bands;
            ++m_generation;
        }
        m_wake.notify_all();
        work();
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_pending == 0; });
        m_body = nullptr;
    }

    bool busyOnThisThread() const { return t_inJob; }

  private:
    void workerLoop() {
        std::uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stopping || m_generation != seen; });
                if (m_stopping)
                    return;
                seen = m_generation;
            }
            work();
        }
    }

    void work() {
        t_inJob = true;
        for (;;) {
            int band = m_nextBand.fetch_add(1);
            if (band >= m_bands)
                break;
            int begin = int(std::int64_t(m_rows) * band / m_bands);
            int end = int(std::int64_t(m_rows) * (band + 1) / m_bands);
            if (begin < end)
                (*m_body)(begin, end);
            std::lock_guard lock(m_mutex);
            if (--m_pending == 0)
                m_done.notify_all();
        }
        t_inJob = false;
    }

    static thread_local bool t_inJob;

    std::vector<std::thread> m_threads;
    std::mutex m_jobMutex;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int, int)>* m_body = nullptr;
    int m_rows = 0;
    int m_bands = 0;
    std::atomic<int> m_nextBand{0};
    int m_pending = 0;
    std::uint64_t m_generation = 0;
    bool m_stopping = false;
};

thread_local bool BandPool::t_inJob = false;

BandPool& pool() {
    static BandPool instance;
    return instance;
}

constexpr std::size_t kSerialThreshold = 1 << 16; // pixels

} // namespace

int workerCount() {
    return pool().threads();
}

void parallelRows(int rows, std::size_t pixelsPerRow, const std::function<void(int, int)>& body) {
    if (rows <= 0)
        return;
    BandPool& p = pool();
    if (p.threads() == 1 || rows < 2 || std::size_t(rows) * pixelsPerRow < kSerialThreshold ||
        p.busyOnThisThread()) {
        body(0, rows);
        return;
    }
    int bands = std::min(rows, p.threads() * 4);
    p.run(bands, rows, body);
}

} // namespace quill
