// Throughput of the 21 effects, in megapixels per second, at the preview's
// size (885 x 147) and at 2048 x 2048. Each iteration runs the effect through
// the control, frame included, on a fresh copy of the same picture.
//
// Arguments: width, height, threads. One thread is the effects' own speed
// (rated by processor time, which the machine's other load disturbs least);
// the runs at 2048 x 2048 on every core (threads 0, marked real_time) are
// rated by elapsed time, and their "CPU" column is the processor time of
// all threads.
// "peak MB" is the most memory the effect held at once beyond the picture
// it started from, counted by this program's allocation functions.
//
// Built with QV_WITH_OPENCV (effects_opencv_bench), the same run also
// measures the nearest OpenCV analogue of the effects that have one, on one
// thread like the effects themselves.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <functional>
#include <string>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "effects/row_bands.h"
#include "imaging/bitmap.h"

#ifdef QV_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

// Every allocation of the program, counted with the size the allocator
// really set aside.
namespace memory {
std::atomic<int64_t> current{0}, peak{0};

void* Take(size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (!p) throw std::bad_alloc();
  const int64_t now = current += static_cast<int64_t>(malloc_usable_size(p));
  int64_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return p;
}

void Give(void* p) {
  if (!p) return;
  current -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}
}  // namespace memory

void* operator new(size_t n) { return memory::Take(n); }
void* operator new[](size_t n) { return memory::Take(n); }
void operator delete(void* p) noexcept { memory::Give(p); }
void operator delete[](void* p) noexcept { memory::Give(p); }
void operator delete(void* p, size_t) noexcept { memory::Give(p); }
void operator delete[](void* p, size_t) noexcept { memory::Give(p); }

namespace {

using qv::TBitmap;
using qv::TProEffectImage;

// A photograph-like test picture: smooth gradients with some texture, so
// that neither tables nor branches see one value only.
TBitmap TestPicture(int w, int h) {
  TBitmap bmp;
  bmp.SetPixelFormat(qv::TPixelFormat::pf24bit);
  bmp.SetSize(w, h);
  uint32_t noise = 12345;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bmp.PixelRow(y);
    for (int x = 0; x < w; ++x) {
      noise = noise * 1103515245u + 12345u;
      const int n = static_cast<int>((noise >> 24) & 31) - 16;
      auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      row[3 * x] = clamp(255 * x / w + n);
      row[3 * x + 1] = clamp(255 * y / h + n);
      row[3 * x + 2] = clamp(128 + static_cast<int>(100 * std::sin(x * 0.01 + y * 0.02)) + n);
    }
  }
  return bmp;
}

const TBitmap& Picture(int w, int /*h*/) {
  static const TBitmap small = TestPicture(885, 147);
  static const TBitmap large = TestPicture(2048, 2048);
  return w == 885 ? small : large;
}

void SetRate(benchmark::State& state, int w, int h) {
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(w) * h * state.iterations() / 1e6,
                                                benchmark::Counter::kIsRate);
}

void RunEffect(benchmark::State& state, const std::function<void(TProEffectImage&)>& effect) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  qv::SetEffectThreads(static_cast<int>(state.range(2)));
  const TBitmap& picture = Picture(w, h);
  TProEffectImage image;
  int64_t peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    image.AssignBitmap(picture);
    const int64_t before = memory::current;
    memory::peak = before;
    state.ResumeTiming();
    effect(image);
    benchmark::DoNotOptimize(image.PictureBitmap());
    peak = std::max<int64_t>(peak, memory::peak - before);
  }
  qv::SetEffectThreads(0);
  SetRate(state, w, h);
  state.counters["peak MB"] = static_cast<double>(peak) / (1 << 20);
}

// One thread at both sizes (rated by processor time), then every core at
// 2048 x 2048 (rated by elapsed time; processor time summed over threads).
#define QV_EFFECT_BENCH(Name, Call)                                                                \
  void BM_##Name(benchmark::State& state) {                                                        \
    RunEffect(state, [&](TProEffectImage& image) { image.Call; });                                 \
  }                                                                                                \
  BENCHMARK(BM_##Name)->Args({885, 147, 1})->Args({2048, 2048, 1})->Unit(benchmark::kMillisecond); \
  BENCHMARK(BM_##Name)->Args({2048, 2048, 0})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()

QV_EFFECT_BENCH(Invert, Effect_Invert());

// Inverting twice restores the picture, so this one needs no fresh copy per
// iteration: it measures the effect on a picture that stays put in memory,
// as the OpenCV analogue's reused output does.
void BM_InvertSamePicture(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  qv::SetEffectThreads(1);
  TProEffectImage image;
  image.AssignBitmap(Picture(w, h));
  for (auto _ : state) {
    image.Effect_Invert();
    benchmark::DoNotOptimize(image.PictureBitmap());
  }
  qv::SetEffectThreads(0);
  SetRate(state, w, h);
}
BENCHMARK(BM_InvertSamePicture)->Args({885, 147})->Args({2048, 2048})->Unit(benchmark::kMillisecond);
QV_EFFECT_BENCH(AddColorNoise, Effect_AddColorNoise(40));
QV_EFFECT_BENCH(AddMonoNoise, Effect_AddMonoNoise(40));
QV_EFFECT_BENCH(AntiAlias, Effect_AntiAlias());
QV_EFFECT_BENCH(Contrast, Effect_Contrast(100));
QV_EFFECT_BENCH(FishEye, Effect_FishEye(1));
QV_EFFECT_BENCH(GrayScale, Effect_GrayScale());
QV_EFFECT_BENCH(Lightness, Effect_Lightness(80));
QV_EFFECT_BENCH(Darkness, Effect_Darkness(80));
QV_EFFECT_BENCH(Saturation, Effect_Saturation(300));
QV_EFFECT_BENCH(SplitBlur, Effect_SplitBlur(2));
QV_EFFECT_BENCH(GaussianBlur, Effect_GaussianBlur(2));
QV_EFFECT_BENCH(Mosaic, Effect_Mosaic(8));
QV_EFFECT_BENCH(Twist, Effect_Twist(200));
QV_EFFECT_BENCH(Splitlight, Effect_Splitlight(2));
QV_EFFECT_BENCH(Tile, Effect_Tile(3));
QV_EFFECT_BENCH(SpotLight, Effect_SpotLight(64, (qv::TRect{10, 10, image.Bitmap().Width() - 10,
                                                              image.Bitmap().Height() - 10})));
QV_EFFECT_BENCH(Trace, Effect_Trace(2));
QV_EFFECT_BENCH(Emboss, Effect_Emboss());
QV_EFFECT_BENCH(Solorize, Effect_Solorize(127));
QV_EFFECT_BENCH(Posterize, Effect_Posterize(32));

#ifdef QV_WITH_OPENCV

// The picture as an OpenCV matrix (blue, green, red, like ours).
cv::Mat ToMat(const TBitmap& bmp) {
  cv::Mat m(bmp.Height(), bmp.Width(), CV_8UC3);
  for (int y = 0; y < bmp.Height(); ++y)
    std::memcpy(m.ptr(y), bmp.PixelRow(y), static_cast<size_t>(bmp.Width()) * 3);
  return m;
}

void RunOpenCV(benchmark::State& state, const std::function<void(const cv::Mat&, cv::Mat&)>& op) {
  cv::setNumThreads(1);
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const cv::Mat src = ToMat(Picture(w, h));
  cv::Mat dst;
  for (auto _ : state) {
    op(src, dst);
    benchmark::DoNotOptimize(dst.data);
  }
  SetRate(state, w, h);
}

// The same with a fresh copy of the picture before every run, made with
// the timer paused, as the effects get theirs: the analogue then starts
// from the same cache state as the effect.
void RunOpenCVOnCopy(benchmark::State& state, const std::function<void(cv::Mat&, cv::Mat&)>& op) {
  cv::setNumThreads(1);
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const cv::Mat src = ToMat(Picture(w, h));
  cv::Mat copy, dst;
  for (auto _ : state) {
    state.PauseTiming();
    copy = src.clone();
    state.ResumeTiming();
    op(copy, dst);
    benchmark::DoNotOptimize(dst.data);
    benchmark::DoNotOptimize(copy.data);
  }
  SetRate(state, w, h);
}

#define QV_OPENCV_BENCH(Name, Body)                                                   \
  void BM_OpenCV_##Name(benchmark::State& state) {                                    \
    RunOpenCV(state, [&](const cv::Mat& src, cv::Mat& dst) { Body; });                \
  }                                                                                   \
  BENCHMARK(BM_OpenCV_##Name)->Args({885, 147})->Args({2048, 2048})->Unit(benchmark::kMillisecond)

cv::Mat MakeLut(int (*f)(int)) {
  cv::Mat lut(1, 256, CV_8U);
  for (int v = 0; v < 256; ++v) lut.at<uint8_t>(v) = static_cast<uint8_t>(f(v));
  return lut;
}

// The remaps' maps by the same formulas as the effects, in double
// precision, stored as the float maps cv::remap takes.
struct Maps {
  cv::Mat x, y;
};

void TwistMaps(Maps& m, int w, int h) {
  m.x.create(h, w, CV_32F);
  m.y.create(h, w, CV_32F);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  for (int y = 0; y < h; ++y) {
    float* mx = m.x.ptr<float>(y);
    float* my = m.y.ptr<float>(y);
    for (int x = 0; x < w; ++x) {
      const double dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
      const double t = std::atan2(dy, dx) - r / 200 + 1.5707963267948966;
      mx[x] = static_cast<float>(std::cos(t) * r + cx);
      my[x] = static_cast<float>(std::sin(t) * r + cy);
    }
  }
}

void FishEyeMaps(Maps& m, int w, int h) {
  m.x.create(h, w, CV_32F);
  m.y.create(h, w, CV_32F);
  const double cx = w / 2.0, cy = h / 2.0, R = w;
  for (int y = 0; y < h; ++y) {
    float* mx = m.x.ptr<float>(y);
    float* my = m.y.ptr<float>(y);
    for (int x = 0; x < w; ++x) {
      const double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
      const double k = d == 0 ? 0 : (1 / (1 - d / R) - 1) * (R / 2);
      mx[x] = static_cast<float>(d == 0 ? cx : dx * k / d + cx);
      my[x] = static_cast<float>(d == 0 ? cy : dy * k / d + cy);
    }
  }
}

// The analogues, one OpenCV thread each:
// - Invert: cv::bitwise_not into a reused output.
// - GrayScale: cv::cvtColor BGR to one grey channel (fixed-point weights).
// - ToneTable: cv::LUT with one byte table, for the table-driven effects.
// - GaussianBlur: cv::GaussianBlur with a 7 x 7 kernel.
// - Mosaic: nearest-neighbour reduction by 8 and enlargement back.
// - Emboss: cv::filter2D with a 3 x 3 relief kernel.
// - Twist, FishEye: the map computed by the effects' formulas in double
//   precision in every run, then cv::remap (bilinear, wrapping border).
// - Tile: cv::resize by area to a third, then cv::repeat 3 x 3.
QV_OPENCV_BENCH(Invert, cv::bitwise_not(src, dst));
QV_OPENCV_BENCH(GrayScale, cv::cvtColor(src, dst, cv::COLOR_BGR2GRAY));
// On a fresh copy, like the effects: bitwise_not in place on the copy, and
// cvtColor from the copy.
void BM_OpenCV_InvertFreshCopy(benchmark::State& state) {
  RunOpenCVOnCopy(state, [](cv::Mat& copy, cv::Mat&) { cv::bitwise_not(copy, copy); });
}
BENCHMARK(BM_OpenCV_InvertFreshCopy)->Args({885, 147})->Args({2048, 2048})->Unit(benchmark::kMillisecond);
void BM_OpenCV_GrayScaleFreshCopy(benchmark::State& state) {
  RunOpenCVOnCopy(state, [](cv::Mat& copy, cv::Mat& dst) { cv::cvtColor(copy, dst, cv::COLOR_BGR2GRAY); });
}
BENCHMARK(BM_OpenCV_GrayScaleFreshCopy)->Args({885, 147})->Args({2048, 2048})->Unit(benchmark::kMillisecond);
// In place on one matrix that stays put, the analogue of BM_InvertSamePicture.
void BM_OpenCV_InvertSamePicture(benchmark::State& state) {
  RunOpenCV(state, [](const cv::Mat& src, cv::Mat& dst) {
    if (dst.empty()) dst = src.clone();
    cv::bitwise_not(dst, dst);
  });
}
BENCHMARK(BM_OpenCV_InvertSamePicture)->Args({885, 147})->Args({2048, 2048})->Unit(benchmark::kMillisecond);
QV_OPENCV_BENCH(ToneTable,
                static const cv::Mat lut = MakeLut([](int v) { return 255 - (255 - v) * 3 / 4; });
                cv::LUT(src, lut, dst));
QV_OPENCV_BENCH(GaussianBlur, cv::GaussianBlur(src, dst, cv::Size(7, 7), 0));
QV_OPENCV_BENCH(Mosaic, cv::Mat small;
                cv::resize(src, small, cv::Size(), 1.0 / 8, 1.0 / 8, cv::INTER_NEAREST);
                cv::resize(small, dst, src.size(), 0, 0, cv::INTER_NEAREST));
QV_OPENCV_BENCH(Emboss, static const cv::Mat kernel = (cv::Mat_<float>(3, 3) << -1, -1, 0, -1, 1, 1, 0, 1, 1);
                cv::filter2D(src, dst, -1, kernel));
// The remaps' analogue computes its maps in every run, as the effects do:
// the map (double precision) and cv::remap (bilinear, wrapping border).
QV_OPENCV_BENCH(Twist, static Maps m; TwistMaps(m, src.cols, src.rows);
                cv::remap(src, dst, m.x, m.y, cv::INTER_LINEAR, cv::BORDER_WRAP));
QV_OPENCV_BENCH(FishEye, static Maps m; FishEyeMaps(m, src.cols, src.rows);
                cv::remap(src, dst, m.x, m.y, cv::INTER_LINEAR, cv::BORDER_WRAP));
// cv::remap alone, with maps made once beforehand, for the share of each.
QV_OPENCV_BENCH(TwistRemapOnly, static Maps m; if (m.x.cols != src.cols) TwistMaps(m, src.cols, src.rows);
                cv::remap(src, dst, m.x, m.y, cv::INTER_LINEAR, cv::BORDER_WRAP));
QV_OPENCV_BENCH(Tile, cv::Mat small;
                cv::resize(src, small, cv::Size(src.cols / 3, src.rows / 3), 0, 0, cv::INTER_AREA);
                cv::repeat(small, 3, 3, dst));

#endif  // QV_WITH_OPENCV

}  // namespace

BENCHMARK_MAIN();
