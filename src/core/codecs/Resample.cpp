#include "core/codecs/Resample.h"

#include "core/codecs/PixelMemory.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#include <immintrin.h>
#endif

// The resampler follows ImageMagick's resize conventions so that its results
// can be compared with `convert -filter Mitchell -resize` pixel for pixel:
// sample positions at pixel centres, support widened by the reduction factor,
// taps outside the source dropped and the rest renormalised, the axis that
// enlarges more (or reduces less) filtered first, and the intermediate clamped
// to the valid range.
//
// Both passes use integer arithmetic: 14-bit weights, 32-bit accumulators and
// an intermediate with 8 fractional bits, which keeps the result within one
// level of the exact filter while letting the compiler vectorise the loops.

// The thread sanitizer cannot run the resolvers of function clones, which run
// before it is set up.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define QUILLET_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUILLET_VECTOR_CLONES
#endif

namespace quillet {
namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
constexpr int kMidBits = 8;  // fractional bits of the intermediate
constexpr int kMidMax = 255 << kMidBits;
constexpr double kFilterSupport = 2.0;

// Mitchell–Netravali cubic with B = C = 1/3.
double Mitchell(double x) {
  constexpr double b = 1.0 / 3.0, c = 1.0 / 3.0;
  x = std::fabs(x);
  if (x < 1.0) {
    return ((12 - 9 * b - 6 * c) * x * x * x + (-18 + 12 * b + 6 * c) * x * x + (6 - 2 * b)) / 6;
  }
  if (x < 2.0) {
    return ((-b - 6 * c) * x * x * x + (6 * b + 30 * c) * x * x + (-12 * b - 48 * c) * x +
            (8 * b + 24 * c)) /
           6;
  }
  return 0.0;
}

// The taps of the output samples [first, first + count) along one axis: for
// sample i, `counts[i]` source samples from `starts[i]`, with their weights at
// `weights[i * stride]`.
struct AxisTaps {
  std::vector<int> starts;
  std::vector<int> counts;
  std::vector<std::int32_t> weights;
  int stride = 0;
  int lowest = 0;   // first source sample any tap reads
  int highest = 0;  // one past the last source sample any tap reads
};

// Rounds the weights to fixed point so that they still sum to exactly one.
void QuantizeWeights(const std::vector<double>& exact, std::int32_t* out) {
  int sum = 0;
  std::size_t largest = 0;
  for (std::size_t n = 0; n < exact.size(); ++n) {
    out[n] = static_cast<std::int32_t>(std::lround(exact[n] * kWeightOne));
    sum += out[n];
    if (exact[n] > exact[largest]) largest = n;
  }
  out[largest] += kWeightOne - sum;
}

AxisTaps ComputeTaps(int inSize, int outSize, int first, int count) {
  const double factor = static_cast<double>(outSize) / inSize;
  const double scale = std::max(1.0 / factor, 1.0);
  const double support = scale * kFilterSupport;
  AxisTaps taps;
  taps.stride = static_cast<int>(std::ceil(2 * support)) + 2;
  taps.starts.resize(count);
  taps.counts.resize(count);
  taps.weights.assign(static_cast<std::size_t>(count) * taps.stride, 0);
  taps.lowest = inSize;
  std::vector<double> exact;
  for (int i = 0; i < count; ++i) {
    const double centre = (first + i + 0.5) / factor;
    const int start = static_cast<int>(std::max(centre - support + 0.5, 0.0));
    const int stop =
        static_cast<int>(std::min(centre + support + 0.5, static_cast<double>(inSize)));
    exact.clear();
    double density = 0.0;
    for (int j = start; j < stop; ++j) {
      exact.push_back(Mitchell((j - centre + 0.5) / scale));
      density += exact.back();
    }
    if (exact.empty() || density <= 0.0) {
      // Cannot happen with this filter; take the nearest sample all the same.
      exact.assign(1, 1.0);
      const int nearest = std::clamp(static_cast<int>(centre), 0, inSize - 1);
      taps.starts[i] = nearest;
      taps.counts[i] = 1;
    } else {
      for (double& w : exact)
        w /= density;
      taps.starts[i] = start;
      taps.counts[i] = static_cast<int>(exact.size());
    }
    QuantizeWeights(exact, &taps.weights[static_cast<std::size_t>(i) * taps.stride]);
    taps.lowest = std::min(taps.lowest, taps.starts[i]);
    taps.highest = std::max(taps.highest, taps.starts[i] + taps.counts[i]);
  }
  return taps;
}

template <typename T>
T ClampTo(std::int32_t value, std::int32_t high) {
  return static_cast<T>(std::clamp(value, 0, high));
}

// out[k] = Σ weights[t] × rows[t][k]: one output row of a vertical pass.
// Works in chunks so that the accumulators stay in the first-level cache.
constexpr std::size_t kChunk = 1024;
// The most taps the vector pass hands on to the portable one for its last
// columns; more (a reduction of over 100 times) go the portable way whole.
constexpr int kMaxTaps = 512;

template <typename In>
inline void AddTwoRows(const In* __restrict a, std::int32_t wa, const In* __restrict b,
                       std::int32_t wb, std::int32_t* __restrict acc, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    acc[k] += wa * static_cast<std::int32_t>(a[k]) + wb * static_cast<std::int32_t>(b[k]);
  }
}

template <typename In>
inline void AccumulateColumns(const In* const* rows, const std::int32_t* weights, int taps,
                              std::size_t offset, std::size_t n, std::int32_t* acc) {
  std::fill(acc, acc + n, 0);
  int t = 0;
  for (; t + 1 < taps; t += 2) {
    AddTwoRows(rows[t] + offset, weights[t], rows[t + 1] + offset, weights[t + 1], acc, n);
  }
  // An odd last row pairs with itself at weight zero.
  if (t < taps) AddTwoRows(rows[t] + offset, weights[t], rows[t] + offset, 0, acc, n);
}

// The portable vertical pass from bytes, for any processor and for the last
// columns of the vector one.
QUILLET_VECTOR_CLONES
void VerticalToMidPortable(const std::uint8_t* const* rows, const std::int32_t* weights, int taps,
                           std::size_t width, std::uint16_t* out) {
  std::int32_t acc[kChunk];
  constexpr int shift = kWeightBits - kMidBits;
  for (std::size_t offset = 0; offset < width; offset += kChunk) {
    const std::size_t n = std::min(kChunk, width - offset);
    AccumulateColumns(rows, weights, taps, offset, n, acc);
    for (std::size_t k = 0; k < n; ++k) {
      out[offset + k] = ClampTo<std::uint16_t>((acc[k] + (1 << (shift - 1))) >> shift, kMidMax);
    }
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLET_HAVE_AVX2_PATH 1

// acc += the products of two rows' 32 bytes with their pair of weights `w`.
__attribute__((target("avx2"), always_inline)) inline void AccumulatePairAvx2(
    __m256i& acc0, __m256i& acc1, __m256i& acc2, __m256i& acc3, __m256i a, __m256i b, __m256i w) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i aLow = _mm256_unpacklo_epi8(a, zero), aHigh = _mm256_unpackhi_epi8(a, zero);
  const __m256i bLow = _mm256_unpacklo_epi8(b, zero), bHigh = _mm256_unpackhi_epi8(b, zero);
  acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi16(aLow, bLow), w));
  acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi16(aLow, bLow), w));
  acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi16(aHigh, bHigh), w));
  acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi16(aHigh, bHigh), w));
}

// The vertical pass from bytes with AVX2. Two rows are taken together: their
// bytes, widened and interleaved, meet the pair of weights in one
// multiply-add of 16-bit pairs (vpmaddwd), the very products and sums of the
// portable pass. Columns go in chunks whose sums wait in the first-level
// cache; the rows are taken eight at a time, each read straight along the
// chunk, which the processor's prefetching follows (one pass over all the
// taps of 32 columns at a time reads each row a few bytes at a time, and
// stalls on memory).
__attribute__((target("avx2"))) void VerticalToMidAvx2(const std::uint8_t* const* rows,
                                                       const std::int32_t* weights, int taps,
                                                       std::size_t width, std::uint16_t* out) {
  constexpr int shift = kWeightBits - kMidBits;
  constexpr int kGroupRows = 8;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i round = _mm256_set1_epi32(1 << (shift - 1));
  const __m256i most = _mm256_set1_epi16(static_cast<std::int16_t>(kMidMax));
  // The weights of each pair of taps as one 32-bit lane; an odd last tap
  // pairs with a row of zeros.
  std::int32_t pairs[kMaxTaps / 2];
  const int pairCount = (taps + 1) / 2;
  for (int p = 0; p < pairCount; ++p) {
    const std::uint32_t wa = static_cast<std::uint16_t>(weights[2 * p]);
    const std::uint32_t wb = 2 * p + 1 < taps ? static_cast<std::uint16_t>(weights[2 * p + 1]) : 0;
    pairs[p] = static_cast<std::int32_t>(wa | (wb << 16));
  }
  alignas(32) std::int32_t sums[kChunk];
  const std::size_t vectorWidth = width / 32 * 32;
  for (std::size_t chunk = 0; chunk < vectorWidth; chunk += kChunk) {
    const std::size_t n = std::min(kChunk, vectorWidth - chunk);
    for (int group = 0; group < taps; group += kGroupRows) {
      const int groupEnd = std::min(group + kGroupRows, taps);
      const bool first = group == 0, last = groupEnd == taps;
      for (std::size_t k = 0; k < n; k += 32) {
        __m256i* sum = reinterpret_cast<__m256i*>(sums + k);
        __m256i acc0 = first ? zero : _mm256_load_si256(sum);
        __m256i acc1 = first ? zero : _mm256_load_si256(sum + 1);
        __m256i acc2 = first ? zero : _mm256_load_si256(sum + 2);
        __m256i acc3 = first ? zero : _mm256_load_si256(sum + 3);
        const std::size_t column = chunk + k;
        for (int t = group; t < groupEnd; t += 2) {
          const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t] + column));
          const __m256i b =
              t + 1 < groupEnd
                  ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t + 1] + column))
                  : zero;
          AccumulatePairAvx2(acc0, acc1, acc2, acc3, a, b, _mm256_set1_epi32(pairs[t / 2]));
        }
        if (!last) {
          _mm256_store_si256(sum, acc0);
          _mm256_store_si256(sum + 1, acc1);
          _mm256_store_si256(sum + 2, acc2);
          _mm256_store_si256(sum + 3, acc3);
          continue;
        }
        // Lanes hold columns 0-3|16-19, 4-7|20-23, 8-11|24-27 and 12-15|28-31.
        acc0 = _mm256_srai_epi32(_mm256_add_epi32(acc0, round), shift);
        acc1 = _mm256_srai_epi32(_mm256_add_epi32(acc1, round), shift);
        acc2 = _mm256_srai_epi32(_mm256_add_epi32(acc2, round), shift);
        acc3 = _mm256_srai_epi32(_mm256_add_epi32(acc3, round), shift);
        const __m256i low = _mm256_min_epu16(_mm256_packus_epi32(acc0, acc1), most);
        const __m256i high = _mm256_min_epu16(_mm256_packus_epi32(acc2, acc3), most);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + column),
                            _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + column + 16),
                            _mm256_permute2x128_si256(low, high, 0x31));
      }
    }
  }
  if (vectorWidth < width) {
    const std::uint8_t* rest[kMaxTaps];
    for (int t = 0; t < taps; ++t)
      rest[t] = rows[t] + vectorWidth;
    VerticalToMidPortable(rest, weights, taps, width - vectorWidth, out + vectorWidth);
  }
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

void VerticalToMid(const std::uint8_t* const* rows, const std::int32_t* weights, int taps,
                   std::size_t width, std::uint16_t* out) {
#ifdef QUILLET_HAVE_AVX2_PATH
  if (taps <= kMaxTaps && HaveAvx2()) return VerticalToMidAvx2(rows, weights, taps, width, out);
#endif
  VerticalToMidPortable(rows, weights, taps, width, out);
}

QUILLET_VECTOR_CLONES
void VerticalToBytes(const std::uint16_t* const* rows, const std::int32_t* weights, int taps,
                     std::size_t width, std::uint8_t* out) {
  std::int32_t acc[kChunk];
  constexpr int shift = kWeightBits + kMidBits;
  for (std::size_t offset = 0; offset < width; offset += kChunk) {
    const std::size_t n = std::min(kChunk, width - offset);
    AccumulateColumns(rows, weights, taps, offset, n, acc);
    for (std::size_t k = 0; k < n; ++k) {
      out[offset + k] = ClampTo<std::uint8_t>((acc[k] + (1 << (shift - 1))) >> shift, 255);
    }
  }
}

// One pixel of a horizontal pass: the three channels summed together, with a
// fourth lane that reads (and ignores) the next pixel's first channel, so rows
// need one element of padding.
template <typename In>
void AccumulatePixel(const In* row, const std::int32_t* weights, int taps, std::int32_t acc[4]) {
  acc[0] = acc[1] = acc[2] = acc[3] = 0;
  for (int t = 0; t < taps; ++t) {
    const In* p = row + static_cast<std::size_t>(t) * 3;
    const std::int32_t w = weights[t];
    for (int c = 0; c < 4; ++c)
      acc[c] += w * static_cast<std::int32_t>(p[c]);
  }
}

QUILLET_VECTOR_CLONES
void HorizontalToMid(const std::uint8_t* row, const AxisTaps& taps, std::uint16_t* out) {
  constexpr int shift = kWeightBits - kMidBits;
  const int count = static_cast<int>(taps.starts.size());
  for (int i = 0; i < count; ++i) {
    std::int32_t acc[4];
    AccumulatePixel(row + static_cast<std::size_t>(taps.starts[i]) * 3,
                    &taps.weights[static_cast<std::size_t>(i) * taps.stride], taps.counts[i], acc);
    for (int c = 0; c < 3; ++c) {
      out[i * 3 + c] = ClampTo<std::uint16_t>((acc[c] + (1 << (shift - 1))) >> shift, kMidMax);
    }
  }
}

// Rounds and clamps the sums of a pixel of the second pass into bytes.
inline void PutBytes(const std::int32_t acc[4], std::uint8_t* out) {
  constexpr int shift = kWeightBits + kMidBits;
  for (int c = 0; c < 3; ++c)
    out[c] = ClampTo<std::uint8_t>((acc[c] + (1 << (shift - 1))) >> shift, 255);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The horizontal second pass with SSE2 (every x86-64 processor has it): two
// taps at a time, their samples interleaved to meet the pair of weights in
// one multiply-add of 16-bit pairs (pmaddwd). The samples (up to 255 << 8)
// are taken less 32768 so that they fit signed 16 bits, and since a pixel's
// weights sum to exactly one, the sums get 32768 << kWeightBits back: the
// very sums of the portable pass. An odd last tap pairs with the sample after
// it at weight zero, which the rows' padding holds.
void HorizontalToBytes(const std::uint16_t* row, const AxisTaps& taps, std::uint8_t* out) {
  const __m128i bias = _mm_set1_epi16(static_cast<std::int16_t>(0x8000));
  const __m128i unbias = _mm_set1_epi32(32768 << kWeightBits);
  const int count = static_cast<int>(taps.starts.size());
  for (int i = 0; i < count; ++i) {
    const std::uint16_t* p = row + static_cast<std::size_t>(taps.starts[i]) * 3;
    const std::int32_t* w = &taps.weights[static_cast<std::size_t>(i) * taps.stride];
    __m128i acc = unbias;
    for (int t = 0; t < taps.counts[i]; t += 2, p += 6) {
      const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 3));
      const std::int32_t second = t + 1 < taps.counts[i] ? w[t + 1] : 0;
      const __m128i pair = _mm_set1_epi32(static_cast<std::int32_t>(
          static_cast<std::uint16_t>(w[t]) | (static_cast<std::uint32_t>(second) << 16)));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_xor_si128(_mm_unpacklo_epi16(a, b), bias), pair));
    }
    alignas(16) std::int32_t sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums), acc);
    PutBytes(sums, out + static_cast<std::size_t>(i) * 3);
  }
}
#else
void HorizontalToBytes(const std::uint16_t* row, const AxisTaps& taps, std::uint8_t* out) {
  const int count = static_cast<int>(taps.starts.size());
  for (int i = 0; i < count; ++i) {
    std::int32_t acc[4];
    AccumulatePixel(row + static_cast<std::size_t>(taps.starts[i]) * 3,
                    &taps.weights[static_cast<std::size_t>(i) * taps.stride], taps.counts[i], acc);
    PutBytes(acc, out + static_cast<std::size_t>(i) * 3);
  }
}
#endif

// The intermediate picture between the two passes, with a pixel and a
// sample of zeros after each row for the passes that read past a row's last
// tap. Every sample is written by the first pass; only the padding is set
// here.
struct MidPicture {
  static constexpr std::size_t kPadding = 4;
  std::size_t stride = 0;
  std::uint16_t* pixels = nullptr;
  PixelBuffer<std::uint16_t> own;

  MidPicture(int width, int height) : stride(static_cast<std::size_t>(width) * 3 + kPadding) {
    const std::size_t size = stride * static_cast<std::size_t>(height);
    pixels = size <= kScratchSamples ? Scratch(size)
                                     : (own = MakePixelBuffer<std::uint16_t>(size)).get();
    for (int y = 0; y < height; ++y)
      std::fill(Row(y) + stride - kPadding, Row(y) + stride, 0);
  }
  std::uint16_t* Row(int y) { return pixels + stride * static_cast<std::size_t>(y); }

  // A band of the intermediate is taken at every rendering, during a drag at
  // every mouse move: it is kept for the next (one a thread) instead of being
  // freed and taken anew, which costs the system clearing its pages each time.
  static constexpr std::size_t kScratchSamples = 2 * 1024 * 1024;
  static std::uint16_t* Scratch(std::size_t size) {
    thread_local PixelBuffer<std::uint16_t> buffer;
    thread_local std::size_t capacity = 0;
    if (capacity < size) {
      buffer = MakePixelBuffer<std::uint16_t>(kScratchSamples);
      capacity = kScratchSamples;
    }
    return buffer.get();
  }
};

struct Span {
  int first = 0;  // first visible output sample, relative to the destination
  int count = 0;
};

// The visible part of a destination of `size` samples starting at `origin` in
// a target of `limit` samples.
Span VisibleSpan(std::int64_t origin, std::int64_t size, std::int64_t limit) {
  const std::int64_t from = std::max<std::int64_t>(origin, 0);
  const std::int64_t to = std::min<std::int64_t>(origin + size, limit);
  if (from >= to) return {};
  return {static_cast<int>(from - origin), static_cast<int>(to - from)};
}

// Everything the two passes need: the clipped source, the visible
// destination and the taps of both axes.
struct Job {
  const Bitmap* source = nullptr;
  Rect from;  // source rectangle inside the picture
  Bitmap* target = nullptr;
  int targetX = 0, targetY = 0;  // where the first visible output pixel goes
  AxisTaps xTaps, yTaps;
};

void HorizontalFirst(const Job& job) {
  const int outW = static_cast<int>(job.xTaps.starts.size());
  const int rows = job.yTaps.highest - job.yTaps.lowest;
  MidPicture mid(outW, rows);
  std::vector<std::uint8_t> padded(static_cast<std::size_t>(job.from.Width()) * 3 + 1, 0);
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* src =
        job.source->Row(job.from.top + job.yTaps.lowest + y) + std::size_t(job.from.left) * 3;
    std::copy(src, src + padded.size() - 1, padded.begin());
    HorizontalToMid(padded.data(), job.xTaps, mid.Row(y));
  }
  std::vector<const std::uint16_t*> taps(job.yTaps.stride);
  for (std::size_t i = 0; i < job.yTaps.starts.size(); ++i) {
    for (int t = 0; t < job.yTaps.counts[i]; ++t) {
      taps[t] = mid.Row(job.yTaps.starts[i] - job.yTaps.lowest + t);
    }
    std::uint8_t* out =
        job.target->Row(job.targetY + static_cast<int>(i)) + std::size_t(job.targetX) * 3;
    VerticalToBytes(taps.data(), &job.yTaps.weights[i * job.yTaps.stride], job.yTaps.counts[i],
                    static_cast<std::size_t>(outW) * 3, out);
  }
}

// Output rows go in bands, so that the intermediate is a band, not a whole
// picture (which for a large logo would be tens of megabytes taken anew at
// every rendering). Within a band the columns of the source are filtered a
// strip at a time, all rows of the band for a strip before the next: the
// source rows that neighbouring output rows share are then still in the
// processor's cache.
constexpr std::size_t kStripBytes = 512 * 1024;
constexpr std::size_t kBandBytes = 2 * 1024 * 1024;

void VerticalFirst(const Job& job) {
  const int outH = static_cast<int>(job.yTaps.starts.size());
  const int columns = job.xTaps.highest - job.xTaps.lowest;
  const int left = job.from.left + job.xTaps.lowest;
  const std::size_t samples = static_cast<std::size_t>(columns) * 3;
  const int band = static_cast<int>(std::clamp<std::size_t>(
      kBandBytes / (samples * sizeof(std::uint16_t)), 1, static_cast<std::size_t>(outH)));
  MidPicture mid(columns, band);
  const std::size_t strip =
      std::max<std::size_t>(kStripBytes / static_cast<std::size_t>(job.yTaps.stride), 256) / 32 *
      32;
  AxisTaps xTaps = job.xTaps;
  for (int& start : xTaps.starts)
    start -= job.xTaps.lowest;
  std::vector<const std::uint8_t*> taps(job.yTaps.stride);
  for (int first = 0; first < outH; first += band) {
    const int last = std::min(first + band, outH);
    for (std::size_t offset = 0; offset < samples; offset += strip) {
      const std::size_t n = std::min(strip, samples - offset);
      for (int i = first; i < last; ++i) {
        for (int t = 0; t < job.yTaps.counts[i]; ++t) {
          taps[t] = job.source->Row(job.from.top + job.yTaps.starts[i] + t) +
                    std::size_t(left) * 3 + offset;
        }
        VerticalToMid(taps.data(), &job.yTaps.weights[std::size_t(i) * job.yTaps.stride],
                      job.yTaps.counts[i], n, mid.Row(i - first) + offset);
      }
    }
    for (int i = first; i < last; ++i) {
      HorizontalToBytes(mid.Row(i - first), xTaps,
                        job.target->Row(job.targetY + i) + std::size_t(job.targetX) * 3);
    }
  }
}

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

}  // namespace

void ResampleRect(const Bitmap& source, const Rect& sourceRect, Bitmap& target,
                  const Rect& destRect) {
  Job job;
  job.source = &source;
  job.target = &target;
  job.from = Intersect(sourceRect, Rect{0, 0, source.Width(), source.Height()});
  const std::int64_t outW = std::int64_t(destRect.right) - destRect.left;
  const std::int64_t outH = std::int64_t(destRect.bottom) - destRect.top;
  if (job.from.Width() <= 0 || job.from.Height() <= 0 || outW <= 0 || outH <= 0) return;
  if (outW > INT32_MAX || outH > INT32_MAX) return;
  const Span xs = VisibleSpan(destRect.left, outW, target.Width());
  const Span ys = VisibleSpan(destRect.top, outH, target.Height());
  if (xs.count == 0 || ys.count == 0) return;
  job.targetX = static_cast<int>(destRect.left + std::int64_t(xs.first));
  job.targetY = static_cast<int>(destRect.top + std::int64_t(ys.first));
  const int inW = job.from.Width(), inH = job.from.Height();
  job.xTaps = ComputeTaps(inW, static_cast<int>(outW), xs.first, xs.count);
  job.yTaps = ComputeTaps(inH, static_cast<int>(outH), ys.first, ys.count);
  // Filter first along the axis that is enlarged more (outW / inW > outH / inH).
  if (outW * inH > outH * inW) {
    HorizontalFirst(job);
  } else {
    VerticalFirst(job);
  }
}

}  // namespace quillet
