// The whole GIF encoding of a logo: quantisation, dithering and LZW.
//   gif_bench --write-gif FILE   writes the encoded logo instead of timing it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>

#include "BenchPictures.h"
#include "core/codecs/Codecs.h"
#include "core/codecs/Quantize.h"

namespace quillet {
namespace {

const Bitmap& Logo() {
  static const Bitmap picture = bench::LoadOrMake("logo.ppm", 400, 400);
  return picture;
}

void BM_EncodeGif(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(EncodeGif(Logo(), bits));
}
BENCHMARK(BM_EncodeGif)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_QuantizeOctree(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(QuantizeOctree(Logo(), bits));
}
BENCHMARK(BM_QuantizeOctree)->Arg(8)->Unit(benchmark::kMillisecond);

int WriteGif(const char* path) {
  const std::vector<std::uint8_t> bytes = EncodeGif(Logo(), 8);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-gif") == 0) return quillet::WriteGif(argv[2]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
