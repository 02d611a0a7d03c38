// ResampleRect of a 12-megapixel picture down to logo-pane sizes.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "core/codecs/Resample.h"

namespace quillet {
namespace {

const Bitmap& Photo() {
  static const Bitmap picture = bench::LoadOrMake("photo.ppm", 4000, 3000);
  return picture;
}

void BM_ResampleRect(benchmark::State& state) {
  const Bitmap& source = Photo();
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Bitmap target(w, h);
  for (auto _ : state) {
    ResampleRect(source, Rect{0, 0, source.Width(), source.Height()}, target, Rect{0, 0, w, h});
    benchmark::DoNotOptimize(target.Data());
  }
}
BENCHMARK(BM_ResampleRect)->Args({400, 300})->Args({800, 600})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
