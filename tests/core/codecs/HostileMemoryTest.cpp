// What damaged and hostile picture files cost in memory. Each file is decoded
// in a child process (this test program again) whose peak resident memory is
// read from the kernel: a sanitizer counts allocations, not the memory that
// is really taken, and a decoder that takes memory for rows only as it reads
// them is exactly what is wanted here. The child runs with the address
// sanitizer's heap poisoning and quarantine off, so that freeing a picture's
// buffer does not itself touch memory.
//
// The goals: peak memory within twice the decoded picture plus 64 MiB for
// every file, and no file under 64 KiB above 256 MiB unless it is a whole,
// valid picture that really decodes to that size.
#include <gif_lib.h>
#include <sys/resource.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr const char* kFileVariable = "QUILLET_MEASURE_FILE";
constexpr const char* kReportTag = "measured:";

std::uint64_t StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::stoull(line.substr(name.size() + 1)) * 1024;
  }
  return 0;
}

// The child: decodes the file named by QUILLET_MEASURE_FILE and prints how
// far its resident memory rose above where it stood before.
TEST(PictureMemory, DISABLED_MeasureOneDecode) {
  const char* path = std::getenv(kFileVariable);
  if (!path) GTEST_SKIP() << "run by PictureMemory.HostileFiles";
  // Lets the peak start from here ("5": reset the high-water mark).
  const bool reset = static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5");
  const std::uint64_t before = StatusField("VmRSS");
  std::string outcome;
  try {
    const Bitmap picture = DecodePictureFile(path);
    outcome = "decoded " + std::to_string(picture.Width()) + "x" + std::to_string(picture.Height());
  } catch (const PictureError& error) {
    outcome = std::string("refused ") + error.what();
  }
  std::uint64_t peak = StatusField("VmHWM");
  if (!reset) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
  }
  std::printf("%s %llu %s\n", kReportTag, static_cast<unsigned long long>(peak - before),
              outcome.c_str());
}

struct Measured {
  std::uint64_t growth = 0;
  std::string outcome;
};

Measured MeasureInChild(const std::string& path) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const ProcessResult result = RunProcess(
      self,
      {"--gtest_filter=PictureMemory.DISABLED_MeasureOneDecode", "--gtest_also_run_disabled_tests"},
      {std::string(kFileVariable) + "=" + path,
       "ASAN_OPTIONS=detect_leaks=0:poison_heap=0:quarantine_size_mb=0:"
       "thread_local_quarantine_size_kb=0"});
  Measured measured;
  const std::size_t at = result.out.find(kReportTag);
  EXPECT_NE(at, std::string::npos) << result.out << result.err;
  if (at == std::string::npos) return measured;
  std::istringstream report(result.out.substr(at + std::string(kReportTag).size()));
  report >> measured.growth;
  std::getline(report >> std::ws, measured.outcome);
  return measured;
}

// --- The hostile files ---------------------------------------------------------

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v, bool big) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(v >> (big ? 24 - 8 * i : 8 * i));
}

std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == marker) return i;
  return std::string::npos;
}

std::vector<std::uint8_t> WithJpegFrameSize(std::vector<std::uint8_t> bytes, std::uint8_t sof,
                                            std::uint16_t width, std::uint16_t height) {
  const std::size_t at = FindMarker(bytes, sof);
  EXPECT_NE(at, std::string::npos);
  bytes[at + 5] = static_cast<std::uint8_t>(height >> 8);
  bytes[at + 6] = static_cast<std::uint8_t>(height);
  bytes[at + 7] = static_cast<std::uint8_t>(width >> 8);
  bytes[at + 8] = static_cast<std::uint8_t>(width);
  return bytes;
}

// A picture with detail everywhere: its data is dense.
Bitmap Busy(int width, int height) {
  Bitmap picture(width, height);
  std::uint32_t seed = 11;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      picture.SetPixel(x, y, static_cast<Color>(seed >> 8) & 0xFFFFFF);
    }
  }
  return picture;
}

std::vector<std::uint8_t> Cjpeg(const TempDir& dir, const Bitmap& picture,
                                const std::vector<std::string>& options) {
  WritePictureFile(dir.Path() + "cjpeg-in.bmp", picture, LogoFormat::Bmp, 0, 8);
  std::vector<std::string> args = options;
  args.insert(args.end(), {"-outfile", dir.Path() + "cjpeg-out.jpg", dir.Path() + "cjpeg-in.bmp"});
  const ProcessResult result = RunProcess("/usr/bin/cjpeg", args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return Bytes(ReadWholeFile(dir.Path() + "cjpeg-out.jpg"));
}

void PngChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
  const auto size = static_cast<std::uint32_t>(data.size());
  for (int shift : {24, 16, 8, 0})
    out.push_back(static_cast<std::uint8_t>(size >> shift));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, out.data() + start, static_cast<uInt>(out.size() - start)));
  for (int shift : {24, 16, 8, 0})
    out.push_back(static_cast<std::uint8_t>(crc >> shift));
}

// An interlaced black 1-bit PNG. `keep` of its compressed data are kept (the
// rest and the end chunk go when it is below 1), after an ancillary chunk of
// `padding` bytes.
std::vector<std::uint8_t> InterlacedMonoPng(std::uint32_t width, std::uint32_t height, double keep,
                                            std::size_t padding) {
  std::uint64_t raw = 0;
  const int starts[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
  const int steps[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
  for (int pass = 0; pass < 7; ++pass) {
    const std::uint64_t columns = (width + steps[pass][0] - 1 - starts[pass][0]) / steps[pass][0];
    const std::uint64_t rows = (height + steps[pass][1] - 1 - starts[pass][1]) / steps[pass][1];
    if (columns > 0 && rows > 0) raw += rows * (1 + (columns + 7) / 8);
  }
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(raw), 0);  // filter 0, black
  std::vector<std::uint8_t> compressed(compressBound(static_cast<uLong>(raw)));
  uLongf size = static_cast<uLongf>(compressed.size());
  EXPECT_EQ(compress2(compressed.data(), &size, zeros.data(), static_cast<uLong>(raw), 9), Z_OK);
  compressed.resize(static_cast<std::size_t>(static_cast<double>(size) * std::min(keep, 1.0)));

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<std::uint8_t> header(13, 0);
  PutU32(header, 0, width, true);
  PutU32(header, 4, height, true);
  header[8] = 1;   // bit depth
  header[9] = 0;   // grey
  header[12] = 1;  // Adam7
  PngChunk(out, "IHDR", header);
  if (padding > 0) PngChunk(out, "quIl", std::vector<std::uint8_t>(padding, 'q'));
  PngChunk(out, "IDAT", compressed);
  if (keep >= 1) PngChunk(out, "IEND", {});
  return out;
}

int AppendGifBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

// A GIF of one plain frame as large as its screen, whose data is cut after
// `keep` bytes.
std::vector<std::uint8_t> CutPlainGif(int side, std::size_t keep) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGifBytes, &error);
  ColorMapObject* colors = GifMakeMapObject(2, nullptr);
  EXPECT_EQ(EGifPutScreenDesc(gif, side, side, 1, 0, colors), GIF_OK);
  EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr), GIF_OK);
  const std::vector<GifPixelType> line(static_cast<std::size_t>(side), 1);
  for (int y = 0; y < side && out.size() < keep; ++y)
    EXPECT_EQ(EGifPutLine(gif, const_cast<GifPixelType*>(line.data()), side), GIF_OK);
  EGifCloseFile(gif, &error);  // complains about the missing lines
  GifFreeMapObject(colors);
  out.resize(std::min(out.size(), keep));
  return out;
}

struct HostileFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
  std::uint64_t pictureBytes;  // of the picture it announces
  bool decodes;                // a whole, valid picture
};

std::vector<HostileFile> HostileFiles(const TempDir& dir) {
  std::vector<HostileFile> files;
  auto add = [&](std::string name, std::vector<std::uint8_t> bytes, std::uint64_t width,
                 std::uint64_t height, bool decodes = false) {
    files.push_back({std::move(name), std::move(bytes), width * height * 3, decodes});
  };

  // An 8 × 6 RLE4 bitmap whose header is made to say 16384 × 16384.
  std::vector<std::uint8_t> rle4;
  for (int row = 0; row < 6; ++row)
    rle4.insert(rle4.end(), {8, static_cast<std::uint8_t>(row * 0x11), 0, 0});
  rle4.insert(rle4.end(), {0, 1});
  add("RLE4 bitmap of a few bytes announcing 16384 x 16384",
      BmpFile({.width = 16384, .height = 16384, .bits = 4, .compression = 2, .colorsUsed = 6},
              PaletteBytes("KRGBYW"), rle4),
      16384, 16384);
  // Data enough for its size, painting 40 rows of 5000 before it stops.
  std::vector<std::uint8_t> rle8;
  for (int row = 0; row < 40; ++row) {
    for (int run = 0; run < 20; ++run) {
      rle8.insert(rle8.end(), {0, 250});
      rle8.insert(rle8.end(), 250, 1);
    }
    rle8.insert(rle8.end(), {0, 0});
  }
  add("RLE8 bitmap ending after 40 of its 5000 rows",
      BmpFile({.width = 5000, .height = 5000, .bits = 8, .compression = 1, .colorsUsed = 2},
              PaletteBytes("KR"), rle8),
      5000, 5000);
  add("RLE8 bitmap of 4000 x 4000 holding only its end marker",
      BmpFile({.width = 4000, .height = 4000, .bits = 8, .compression = 1, .colorsUsed = 2},
              PaletteBytes("KR"), {0, 1}),
      4000, 4000, true);
  add("24-bit bitmap announcing 20000 x 12000 over 48 bytes",
      BmpFile({.width = 20000, .height = 12000, .bits = 24}, {}, std::vector<std::uint8_t>(48)),
      20000, 12000);

  add("arithmetic-coded JPEG of a few KB made to say 16384 x 16384",
      WithJpegFrameSize(Cjpeg(dir, Busy(80, 48), {"-arithmetic"}), 0xC9, 16384, 16384), 16384,
      16384);
  // Files under 64 KiB whose data could hold that size: refused as soon as
  // the data runs out.
  const std::vector<std::uint8_t> baseline = EncodeJpeg(Busy(300, 300), 75);
  EXPECT_LT(baseline.size(), 64u * 1024u);
  add("baseline JPEG under 64 KiB made to say 16000 x 16000",
      WithJpegFrameSize(baseline, 0xC0, 16000, 16000), 16000, 16000);
  const std::vector<std::uint8_t> progressive =
      Cjpeg(dir, Busy(300, 300), {"-progressive", "-quality", "75"});
  EXPECT_LT(progressive.size(), 64u * 1024u);
  add("progressive JPEG under 64 KiB made to say 16000 x 16000",
      WithJpegFrameSize(progressive, 0xC2, 16000, 16000), 16000, 16000);
  std::vector<std::uint8_t> cut = EncodeJpeg(Bitmap(4000, 3000, MakeColor(90, 160, 30)), 90);
  cut.resize(cut.size() / 3);
  cut.insert(cut.end(), {0xFF, 0xD9});
  add("4000 x 3000 JPEG cut to a third, end marker appended", cut, 4000, 3000);

  add("interlaced 1-bit PNG of 16384 x 16384 cut in its last pass",
      InterlacedMonoPng(16384, 16384, 0.75, 30000), 16384, 16384);
  add("interlaced 1-bit PNG of 8192 x 8192, whole", InterlacedMonoPng(8192, 8192, 1.0, 0), 8192,
      8192, true);
  std::vector<std::uint8_t> hollowPng = EncodePng(Bitmap(40, 40));
  PutU32(hollowPng, 16, 16000, true);
  PutU32(hollowPng, 20, 16000, true);
  PutU32(hollowPng, 29, static_cast<std::uint32_t>(crc32(0, hollowPng.data() + 12, 17)), true);
  add("PNG of 40 x 40 made to say 16000 x 16000", hollowPng, 16000, 16000);

  add("GIF of 16000 x 16000 cut at 30 KB", CutPlainGif(16000, 30000), 16000, 16000);
  return files;
}

TEST(PictureMemory, HostileFiles) {
  TempDir dir;
  for (const HostileFile& file : HostileFiles(dir)) {
    SCOPED_TRACE(file.name);
    const std::string extension = file.bytes[0] == 'B'    ? ".bmp"
                                  : file.bytes[0] == 0xFF ? ".jpg"
                                  : file.bytes[0] == 'G'  ? ".gif"
                                                          : ".png";
    const std::string path = dir.Path() + "hostile" + extension;
    WriteFileAtomically(path, std::string(file.bytes.begin(), file.bytes.end()));
    const Measured measured = MeasureInChild(path);
    std::printf("  %-62s %8zu bytes: %5llu MiB, %s\n", file.name.c_str(), file.bytes.size(),
                static_cast<unsigned long long>(measured.growth / kMiB), measured.outcome.c_str());
    EXPECT_EQ(measured.outcome.rfind(file.decodes ? "decoded" : "refused", 0), 0u)
        << measured.outcome;
    EXPECT_LE(measured.growth, 2 * file.pictureBytes + 64 * kMiB);
    if (file.bytes.size() < 64 * 1024 && !file.decodes) {
      EXPECT_LE(measured.growth, 256 * kMiB);
    }
    // A whole picture is held once, never beside a second copy.
    if (file.decodes) {
      EXPECT_LE(measured.growth, file.pictureBytes + 64 * kMiB);
    }
  }
}

}  // namespace
}  // namespace quillet
