#include "effects/row_bands.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace qv {

namespace {

std::atomic<int> threadSetting{0};
std::atomic<bool> plainOnly{false};

}  // namespace

void SetPlainPathsOnly(bool plain) { plainOnly = plain; }
bool PlainPathsOnly() { return plainOnly; }

void SetEffectThreads(int count) { threadSetting = std::max(0, count); }

int EffectThreads() {
  const int set = threadSetting;
  if (set > 0) return set;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

namespace {

// Worker threads kept for the whole process: starting threads for every
// effect would cost a fair part of what a fast effect on a megapixel takes
// (tens of microseconds each). Workers wait for a job, take its bands one
// by one with the calling thread, and go back to waiting. The pool is
// never destroyed: a worker may still be waiting when the process ends,
// and tearing the pool down then could wait on a thread the system has
// already stopped.
class BandPool {
 public:
  // Runs task(i) for i = 0 .. count-1 on the calling thread and up to
  // helpers workers; returns when every task has returned. Tasks must not
  // throw.
  void Run(int count, int helpers, const std::function<void(int)>& task) {
    std::unique_lock<std::mutex> job(jobLock_, std::try_to_lock);
    if (!job.owns_lock()) {
      // Another thread's effect has the pool: this one runs alone.
      for (int i = 0; i < count; ++i) task(i);
      return;
    }
    Grow(helpers);
    {
      std::lock_guard<std::mutex> lock(lock_);
      task_ = &task;
      count_ = count;
      next_ = 0;
      unfinished_ = count;
      wanted_ = helpers;
      ++generation_;
    }
    wake_.notify_all();
    Work();
    std::unique_lock<std::mutex> lock(lock_);
    finished_.wait(lock, [&] { return unfinished_ == 0 && busy_ == 0; });
    task_ = nullptr;
  }

 private:
  void Grow(int helpers) {
    while (static_cast<int>(workers_) < helpers) {
      try {
        std::thread([this] { Serve(); }).detach();
      } catch (const std::system_error&) {
        return;  // no more threads to be had: those there are do the work
      }
      ++workers_;
    }
  }

  void Serve() {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
      wake_.wait(lock, [&] { return generation_ != seen; });
      seen = generation_;
      if (wanted_ == 0) continue;  // enough helpers have joined this job
      --wanted_;
      ++busy_;
      lock.unlock();
      Work();
      lock.lock();
      --busy_;
      if (unfinished_ == 0 && busy_ == 0) finished_.notify_all();
    }
  }

  // Takes the job's tasks until none is left.
  void Work() {
    for (;;) {
      int i;
      const std::function<void(int)>* task;
      {
        std::lock_guard<std::mutex> lock(lock_);
        if (task_ == nullptr || next_ >= count_) return;
        i = next_++;
        task = task_;
      }
      (*task)(i);
      std::lock_guard<std::mutex> lock(lock_);
      if (--unfinished_ == 0 && busy_ == 0) finished_.notify_all();
    }
  }

  std::mutex jobLock_;  // one job at a time
  std::mutex lock_;
  std::condition_variable wake_, finished_;
  const std::function<void(int)>* task_ = nullptr;
  int count_ = 0, next_ = 0, unfinished_ = 0, wanted_ = 0, busy_ = 0;
  uint64_t generation_ = 0;
  size_t workers_ = 0;
};

BandPool& Pool() {
  static BandPool* const pool = new BandPool;  // never destroyed, see above
  return *pool;
}

}  // namespace

void ForRowBands(int32_t W, int32_t H, const std::function<void(int32_t, int32_t)>& band) {
  if (H <= 0) return;
  const int64_t pixels = static_cast<int64_t>(std::max(W, 0)) * H;
  const int threads = pixels < kBandedPixels ? 1 : static_cast<int>(std::min<int64_t>(EffectThreads(), H));
  if (threads <= 1) {
    band(0, H);
    return;
  }
  std::vector<std::exception_ptr> errors(threads);
  Pool().Run(threads, threads - 1, [&](int i) {
    const int32_t y0 = static_cast<int32_t>(static_cast<int64_t>(H) * i / threads);
    const int32_t y1 = static_cast<int32_t>(static_cast<int64_t>(H) * (i + 1) / threads);
    try {
      band(y0, y1);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  });
  for (auto& e : errors)
    if (e) std::rethrow_exception(e);
}

std::vector<uint8_t*> WritableRows(TBitmap& B) {
  std::vector<uint8_t*> rows(static_cast<size_t>(std::max(B.Height(), 0)));
  for (int32_t y = 0; y < B.Height(); ++y) rows[y] = B.PixelRow(y);
  return rows;
}

std::vector<uint8_t*> RowsInMemoryOrder(TBitmap& B) {
  std::vector<uint8_t*> rows = WritableRows(B);
  if (!B.TopDown()) std::reverse(rows.begin(), rows.end());
  return rows;
}

}  // namespace qv
