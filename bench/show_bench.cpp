// Showing a logo of a photo as the main window does: decoding the JPEG, the
// view fitted into an 800×600 pane and drawn into the pane's own picture, and
// a 128×128 logo with the Bigger fit kind; for a 12- and a 48-megapixel
// photo. Then rendering a 1440×3200 logo (a phone's screen) from a
// 12-megapixel photo again and again, as dragging the frame does.
//   show_bench --show-once FILE   shows FILE once (for measuring its memory).
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>

#include "BenchPictures.h"
#include "core/codecs/Codecs.h"
#include "core/compose/SourceImage.h"

namespace quillet {
namespace {

// bench/run's JPEG of that name, or one made here from a generated picture.
std::string JpegPath(const std::string& name, int w, int h) {
  std::string file = bench::PicturePath(name);
  if (!file.empty()) return file;
  file = "/tmp/quillet-show-bench-" + name;
  if (!std::ifstream(file)) {
    const std::vector<std::uint8_t> bytes = EncodeJpeg(bench::MakePhotoLike(w, h), 90);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  return file;
}

void Show(const std::string& path) {
  TLogoDirObject logo;
  logo.logowidth = 128;
  logo.logoheight = 128;
  logo.fitkind = FitKind::Bigger;
  TSourceImage image(800, 600, true, logo, path);
  image.BuildView();
  InitialFrame(logo, image);
  Bitmap pane(image.ViewWidth, image.ViewHeight);
  image.DrawView(pane, 0, 0);
  benchmark::DoNotOptimize(pane.Data());
  Bitmap target(128, 128);
  image.RenderLogo(target, false, kWhite);
  benchmark::DoNotOptimize(target.Data());
}

void BM_ShowJpeg(benchmark::State& state) {
  const std::string path = JpegPath("photo.jpg", 4000, 3000);
  for (auto _ : state)
    Show(path);
}
BENCHMARK(BM_ShowJpeg)->Unit(benchmark::kMillisecond);

void BM_ShowJpeg48(benchmark::State& state) {
  const std::string path = JpegPath("photo48.jpg", 8000, 6000);
  for (auto _ : state)
    Show(path);
}
BENCHMARK(BM_ShowJpeg48)->Unit(benchmark::kMillisecond);

// A 1440 × 3200 logo of the 12-megapixel photo: with the Bigger fit kind the
// whole photo goes into a 1440 × 1080 band; with Smaller a part of it fills
// the whole logo.
void BM_RenderLogo1440x3200(benchmark::State& state) {
  static const Bitmap photo = bench::LoadOrMake("photo.ppm", 4000, 3000);
  TLogoDirObject logo;
  logo.logowidth = 1440;
  logo.logoheight = 3200;
  logo.fitkind = state.range(0) == 0 ? FitKind::Bigger : FitKind::Smaller;
  TSourceImage image(800, 600, true, logo, photo);
  image.ComputeSelectionSpace();
  InitialFrame(logo, image);
  Bitmap target(1440, 3200);
  for (auto _ : state) {
    image.RenderLogo(target, true, kWhite);
    benchmark::DoNotOptimize(target.Data());
  }
}
BENCHMARK(BM_RenderLogo1440x3200)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--show-once") == 0) {
    quillet::Show(argv[2]);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
