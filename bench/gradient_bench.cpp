// Rendering the preview picture: the figures behind the speed of every
// colour, kind or Reverse change in the main window.
#include <benchmark/benchmark.h>

#include "app/preview_rendering.h"

namespace {

void RenderPreviewBench(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int width = static_cast<int>(state.range(1));
  const int height = static_cast<int>(state.range(2));
  qv::TKelvoGradient gradient;
  qv::PreviewSettings settings;
  settings.KindIndex = kind;
  for (auto _ : state) {
    qv::TBitmap picture = qv::RenderPreview(gradient, settings, width, height);
    benchmark::DoNotOptimize(picture.PixelRow(0));
  }
  state.SetLabel(kind == 0 ? "Vertical" : "Horizonal");
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(width) * height * state.iterations() / 1e6,
                                                benchmark::Counter::kIsRate);
}

// The plain rule, one GetPixelColor per pixel: what the shortcuts are measured against.
void PerPixelBench(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  qv::TKelvoGradient gradient;
  qv::PreviewSettings settings;
  settings.KindIndex = kind;
  qv::SetBGColors(gradient, settings);
  for (auto _ : state) {
    qv::TBitmap picture;
    picture.SetSize(885, 147);
    picture.SetPixelBits(24);
    gradient.SortColors();
    if (kind == 0) gradient.PrepareLinear(0, 0);
    // The maximum distance pass needs the size; PaintGradient sets it, so
    // paint once outside the loop's measurement of the per-pixel part.
    state.PauseTiming();
    gradient.PaintGradient(0, 0, picture);
    state.ResumeTiming();
    for (int y = 0; y < 147; ++y) {
      uint8_t* row = picture.PixelRow(y);
      for (int x = 0; x < 885; ++x) {
        uint32_t c = gradient.GetPixelColor(x, y, 0, 0);
        row[3 * x] = c >> 24;
        row[3 * x + 1] = (c >> 16) & 0xFF;
        row[3 * x + 2] = (c >> 8) & 0xFF;
      }
    }
    benchmark::DoNotOptimize(picture.PixelRow(0));
  }
  state.SetLabel(kind == 0 ? "Vertical, per pixel" : "Horizonal, per pixel");
}

}  // namespace

BENCHMARK(RenderPreviewBench)
    ->Args({0, 885, 147})
    ->Args({1, 885, 147})
    ->Args({0, 1770, 294})
    ->Args({1, 1770, 294})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PerPixelBench)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
