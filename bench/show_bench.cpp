// Showing a logo of a 12-megapixel JPEG: decoding, the view fitted into an
// 800×600 pane, and a 128×128 logo with the Bigger fit kind.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "core/codecs/Codecs.h"
#include "core/compose/SourceImage.h"

namespace quillet {
namespace {

// bench/run's JPEG, or one made here from a generated picture.
const std::string& JpegPath() {
  static const std::string path = [] {
    std::string file = bench::PicturePath("photo.jpg");
    if (!file.empty()) return file;
    file = "/tmp/quillet-show-bench.jpg";
    const std::vector<std::uint8_t> bytes = EncodeJpeg(bench::MakePhotoLike(4000, 3000), 90);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
  }();
  return path;
}

void BM_ShowJpeg(benchmark::State& state) {
  const std::string& path = JpegPath();
  for (auto _ : state) {
    TLogoDirObject logo;
    logo.logowidth = 128;
    logo.logoheight = 128;
    logo.fitkind = FitKind::Bigger;
    TSourceImage image(800, 600, true, logo, path);
    benchmark::DoNotOptimize(image.BuildView().Data());
    InitialFrame(logo, image);
    Bitmap target(128, 128);
    image.RenderLogo(target, false, kWhite);
    benchmark::DoNotOptimize(target.Data());
  }
}
BENCHMARK(BM_ShowJpeg)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
