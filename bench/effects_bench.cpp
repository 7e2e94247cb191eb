// Throughput of the 21 effects, in megapixels per second, at the preview's
// size (885 x 147) and at 2048 x 2048. Each iteration runs the effect through
// the control, frame included, on a fresh copy of the same picture.
//
// Built with QV_WITH_OPENCV (effects_opencv_bench), the same run also
// measures the nearest OpenCV analogue of the effects that have one, on one
// thread like the effects themselves.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "imaging/bitmap.h"

#ifdef QV_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

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
  const TBitmap& picture = Picture(w, h);
  TProEffectImage image;
  for (auto _ : state) {
    state.PauseTiming();
    image.AssignBitmap(picture);
    state.ResumeTiming();
    effect(image);
    benchmark::DoNotOptimize(image.PictureBitmap());
  }
  SetRate(state, w, h);
}

#define QV_EFFECT_BENCH(Name, Call)                                          \
  void BM_##Name(benchmark::State& state) {                                  \
    RunEffect(state, [&](TProEffectImage& image) { image.Call; });           \
  }                                                                          \
  BENCHMARK(BM_##Name)->Args({885, 147})->Args({2048, 2048})->Unit(benchmark::kMillisecond)

QV_EFFECT_BENCH(Invert, Effect_Invert());

// Inverting twice restores the picture, so this one needs no fresh copy per
// iteration: it measures the effect on a picture that stays put in memory,
// as the OpenCV analogue's reused output does.
void BM_InvertSamePicture(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  TProEffectImage image;
  image.AssignBitmap(Picture(w, h));
  for (auto _ : state) {
    image.Effect_Invert();
    benchmark::DoNotOptimize(image.PictureBitmap());
  }
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

// Remap tables built once per size, outside the timing, as an OpenCV user
// would for a fixed distortion.
struct Maps {
  cv::Mat x, y;
};

Maps TwistMaps(int w, int h) {
  Maps m{cv::Mat(h, w, CV_32F), cv::Mat(h, w, CV_32F)};
  const float cx = (w - 1) / 2.0f, cy = (h - 1) / 2.0f;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
      const float t = std::atan2(dy, dx) - r / 200 + 1.5707964f;
      m.x.at<float>(y, x) = std::cos(t) * r + cx;
      m.y.at<float>(y, x) = std::sin(t) * r + cy;
    }
  return m;
}

Maps FishEyeMaps(int w, int h) {
  Maps m{cv::Mat(h, w, CV_32F), cv::Mat(h, w, CV_32F)};
  const float cx = w / 2.0f, cy = h / 2.0f, R = static_cast<float>(w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
      const float k = d == 0 ? 0 : (1 / (1 - d / R) - 1) * (R / 2);
      m.x.at<float>(y, x) = d == 0 ? cx : dx * k / d + cx;
      m.y.at<float>(y, x) = d == 0 ? cy : dy * k / d + cy;
    }
  return m;
}

const Maps& CachedMaps(bool twist, int w, int h) {
  static std::vector<std::pair<std::string, Maps>> cache;
  const std::string key = (twist ? "t" : "f") + std::to_string(w) + "x" + std::to_string(h);
  for (auto& [k, m] : cache)
    if (k == key) return m;
  cache.emplace_back(key, twist ? TwistMaps(w, h) : FishEyeMaps(w, h));
  return cache.back().second;
}

QV_OPENCV_BENCH(Invert, cv::bitwise_not(src, dst));
QV_OPENCV_BENCH(GrayScale, cv::cvtColor(src, dst, cv::COLOR_BGR2GRAY));
QV_OPENCV_BENCH(ToneTable,
                static const cv::Mat lut = MakeLut([](int v) { return 255 - (255 - v) * 3 / 4; });
                cv::LUT(src, lut, dst));
QV_OPENCV_BENCH(GaussianBlur, cv::GaussianBlur(src, dst, cv::Size(7, 7), 0));
QV_OPENCV_BENCH(Mosaic, cv::Mat small;
                cv::resize(src, small, cv::Size(), 1.0 / 8, 1.0 / 8, cv::INTER_NEAREST);
                cv::resize(small, dst, src.size(), 0, 0, cv::INTER_NEAREST));
QV_OPENCV_BENCH(Emboss, static const cv::Mat kernel = (cv::Mat_<float>(3, 3) << -1, -1, 0, -1, 1, 1, 0, 1, 1);
                cv::filter2D(src, dst, -1, kernel));
QV_OPENCV_BENCH(Twist, const Maps& m = CachedMaps(true, src.cols, src.rows);
                cv::remap(src, dst, m.x, m.y, cv::INTER_LINEAR, cv::BORDER_WRAP));
QV_OPENCV_BENCH(FishEye, const Maps& m = CachedMaps(false, src.cols, src.rows);
                cv::remap(src, dst, m.x, m.y, cv::INTER_LINEAR, cv::BORDER_WRAP));
QV_OPENCV_BENCH(Tile, cv::Mat small;
                cv::resize(src, small, cv::Size(src.cols / 3, src.rows / 3), 0, 0, cv::INTER_AREA);
                cv::repeat(small, 3, 3, dst));

#endif  // QV_WITH_OPENCV

}  // namespace

BENCHMARK_MAIN();
