#include "effects/row_bands.h"

#include <algorithm>
#include <atomic>
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

void ForRowBands(int32_t W, int32_t H, const std::function<void(int32_t, int32_t)>& band) {
  if (H <= 0) return;
  const int64_t pixels = static_cast<int64_t>(std::max(W, 0)) * H;
  const int threads = pixels < kBandedPixels ? 1 : std::min<int64_t>(EffectThreads(), H);
  if (threads <= 1) {
    band(0, H);
    return;
  }
  std::vector<std::exception_ptr> errors(threads);
  std::vector<std::thread> workers;
  workers.reserve(threads - 1);
  auto run = [&](int i) {
    const int32_t y0 = static_cast<int32_t>(static_cast<int64_t>(H) * i / threads);
    const int32_t y1 = static_cast<int32_t>(static_cast<int64_t>(H) * (i + 1) / threads);
    try {
      band(y0, y1);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  int started = 1;
  try {
    for (; started < threads; ++started) workers.emplace_back(run, started);
  } catch (const std::system_error&) {
    // No more threads to be had: the calling thread does the rest.
  }
  run(0);  // the calling thread takes the top band
  for (int i = started; i < threads; ++i) run(i);
  for (auto& w : workers) w.join();
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
