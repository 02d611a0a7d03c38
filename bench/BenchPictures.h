#pragma once

// Pictures for the benchmarks. bench/run writes them into a folder named by
// QUILLET_BENCH_PICTURES so that the reference tools work on the very same
// pixels; without it the programs make a similar picture themselves.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/codecs/Bitmap.h"

namespace quillet::bench {

inline std::string PicturePath(const std::string& name) {
  const char* folder = std::getenv("QUILLET_BENCH_PICTURES");
  return folder && *folder ? std::string(folder) + "/" + name : std::string();
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A binary PPM (P6, maxval 255, no comments) as bench/run writes it.
inline Bitmap ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (!in || magic != "P6" || max != 255) return {};
  Bitmap picture(w, h);
  in.read(reinterpret_cast<char*>(picture.Data()),
          static_cast<std::streamsize>(picture.SizeInBytes()));
  return in ? picture : Bitmap{};
}

// Smooth gradients with grain.
inline Bitmap MakePhotoLike(int w, int h) {
  Bitmap picture(w, h);
  std::uint32_t seed = 1;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < w; ++x, p += 3) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) % 31) - 15;
      const double r = 128 + 100 * std::sin(x / 170.0) * std::cos(y / 230.0) + noise;
      const double g = 255.0 * x / w + noise;
      const double b = 200 - 150.0 * y / h + noise;
      p[0] = static_cast<std::uint8_t>(std::fmin(255, std::fmax(0, r)));
      p[1] = static_cast<std::uint8_t>(std::fmin(255, std::fmax(0, g)));
      p[2] = static_cast<std::uint8_t>(std::fmin(255, std::fmax(0, b)));
    }
  }
  return picture;
}

// The named PPM from bench/run's folder, or a generated picture of the size.
inline Bitmap LoadOrMake(const std::string& name, int w, int h) {
  const std::string path = PicturePath(name);
  if (!path.empty()) {
    Bitmap picture = ReadPpm(path);
    if (!picture.Empty()) return picture;
  }
  return MakePhotoLike(w, h);
}

}  // namespace quillet::bench
