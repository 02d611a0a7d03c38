#include "core/codecs/Quantize.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

// Colour reduction in four steps. A picture of few colours keeps them
// exactly. Otherwise the pixels are counted in cells of the colour cube (the
// top five bits of each channel), and an octree over the cells is pruned to
// the palette size, cheapest fold first (see PruneOctree). Half a round of
// k-means over the cells then fits the palette to the picture's clusters.
// Last, pixels are mapped to the palette with Floyd–Steinberg error diffusion
// in serpentine order, which avoids the diagonal "worms" of left-to-right
// scanning, each to its exactly nearest palette colour (a colour near but not
// nearest adds noise that the diffusion spreads over flat areas); the
// candidates of each small cell of the cube are found once and remembered.
// Everything but the last step works on cells, not pixels.

namespace quillet {
namespace {

struct ColorSum {
  std::uint64_t r = 0, g = 0, b = 0, count = 0;

  void Add(const ColorSum& other) {
    r += other.r;
    g += other.g;
    b += other.b;
    count += other.count;
  }
  Color Average() const {
    // In 32 bits when the sums allow, as those of a cell of any picture
    // smaller than 2^24 pixels do: a 64-bit division takes far longer.
    if (((r | g | b | count) >> 31) == 0) {
      const auto n = static_cast<std::uint32_t>(count), half = n / 2;
      return MakeColor(static_cast<std::uint8_t>((static_cast<std::uint32_t>(r) + half) / n),
                       static_cast<std::uint8_t>((static_cast<std::uint32_t>(g) + half) / n),
                       static_cast<std::uint8_t>((static_cast<std::uint32_t>(b) + half) / n));
    }
    auto mean = [this](std::uint64_t sum) {
      return static_cast<std::uint8_t>((sum + count / 2) / count);
    };
    return MakeColor(mean(r), mean(g), mean(b));
  }
};

// Vectors of 16- and 32-bit lanes (a GCC and Clang extension), which the
// compiler maps to the processor's vector instructions.
using Lanes = std::int16_t __attribute__((vector_size(16)));
using UnsignedLanes = std::uint16_t __attribute__((vector_size(16)));
using Wide = std::int32_t __attribute__((vector_size(16)));
static_assert(std::endian::native == std::endian::little,
              "16-bit lanes are widened in place, the low half first");

// The low and the high four lanes, taken as unsigned and widened to 32 bits.
Wide LowLanes(UnsignedLanes v) {
  return (Wide)__builtin_shufflevector(v, UnsignedLanes{}, 0, 8, 1, 9, 2, 10, 3, 11);
}
Wide HighLanes(UnsignedLanes v) {
  return (Wide)__builtin_shufflevector(v, UnsignedLanes{}, 4, 12, 5, 13, 6, 14, 7, 15);
}
Wide Min(Wide a, Wide b) {
  return a < b ? a : b;
}
Wide Max(Wide a, Wide b) {
  return a > b ? a : b;
}

int Square(int v) {
  return v * v;
}

int SquaredDistance(Color a, Color b) {
  const int dr = RedOf(a) - RedOf(b), dg = GreenOf(a) - GreenOf(b), db = BlueOf(a) - BlueOf(b);
  return dr * dr + dg * dg + db * db;
}

// ---------------------------------------------------------------------------
// Pictures of few colours: palette and indices in one pass, exactly.

class ColorIndexTable {
 public:
  // Index of `c`, adding it if new; -1 once more than `maxColors` are seen.
  int IndexOf(Color c, std::vector<Color>& palette, std::size_t maxColors) {
    for (std::uint32_t slot = Hash(c);; slot = (slot + 1) & (kSlots - 1)) {
      if (keys_[slot] == kEmpty) {
        if (palette.size() == maxColors) return -1;
        keys_[slot] = c;
        indices_[slot] = static_cast<std::uint8_t>(palette.size());
        palette.push_back(c);
        return indices_[slot];
      }
      if (keys_[slot] == c) return indices_[slot];
    }
  }

 private:
  static constexpr std::uint32_t kSlots = 1024;  // at least four times 256
  static constexpr Color kEmpty = 0xFFFFFFFFu;   // no colour has a top byte
  static std::uint32_t Hash(Color c) { return (c * 0x9E3779B1u) >> 22; }

  std::array<Color, kSlots> keys_ = Filled();
  std::array<std::uint8_t, kSlots> indices_{};

  static std::array<Color, kSlots> Filled() {
    std::array<Color, kSlots> keys;
    keys.fill(kEmpty);
    return keys;
  }
};

bool MapFewColors(const Bitmap& picture, std::size_t maxColors, IndexedPicture& out) {
  ColorIndexTable table;
  const std::uint8_t* p = picture.Data();
  const std::uint8_t* end = p + picture.SizeInBytes();
  std::uint8_t* index = out.indices.data();
  Color last = 0xFFFFFFFFu;
  int lastIndex = 0;
  for (; p != end; p += 3, ++index) {
    const Color c = MakeColor(p[0], p[1], p[2]);
    if (c != last) {
      lastIndex = table.IndexOf(c, out.palette, maxColors);
      if (lastIndex < 0) return false;
      last = c;
    }
    *index = static_cast<std::uint8_t>(lastIndex);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Octree over the cells of the colour cube.

constexpr int kCellBits = 5;

// Key of a node at `level` (0 root .. kCellBits cells): the top `level` bits
// of red, green and blue.
std::uint32_t KeyOf(int r, int g, int b, int level) {
  const int shift = 8 - level;
  return (std::uint32_t(r >> shift) << (2 * level)) | (std::uint32_t(g >> shift) << level) |
         std::uint32_t(b >> shift);
}

std::uint32_t ParentKey(std::uint32_t key, int level) {
  const std::uint32_t mask = (1u << level) - 1;
  const std::uint32_t r = key >> (2 * level), g = (key >> level) & mask, b = key & mask;
  const int up = level - 1;
  return ((r >> 1) << (2 * up)) | ((g >> 1) << up) | (b >> 1);
}

// The pixels counted per cell of the cube: the cells that hold pixels, with
// the sums of their pixels.
struct Cells {
  std::vector<std::uint32_t> keys;
  std::vector<ColorSum> sums;
};

// Sums are gathered in 32 bits, which a chunk of 2^24 pixels cannot overflow,
// and carried into 64 bits after each chunk.
Cells CountCells(const Bitmap& picture) {
  constexpr std::size_t kCells = std::size_t{1} << (3 * kCellBits);
  constexpr std::size_t kChunk = std::size_t{1} << 24;
  struct Sum32 {
    std::uint32_t r, g, b, count;
  };
  std::vector<Sum32> chunk(kCells);
  std::vector<std::int32_t> slotOf(kCells, -1);
  Cells cells;
  const std::uint8_t* p = picture.Data();
  const std::uint8_t* end = p + picture.SizeInBytes();
  while (p != end) {
    const std::uint8_t* chunkEnd = p + std::min(kChunk * 3, static_cast<std::size_t>(end - p));
    for (; p != chunkEnd; p += 3) {
      Sum32& cell = chunk[KeyOf(p[0], p[1], p[2], kCellBits)];
      cell.r += p[0];
      cell.g += p[1];
      cell.b += p[2];
      ++cell.count;
    }
    for (std::uint32_t key = 0; key < kCells; ++key) {
      Sum32& cell = chunk[key];
      if (cell.count == 0) continue;
      if (slotOf[key] < 0) {
        slotOf[key] = static_cast<std::int32_t>(cells.keys.size());
        cells.keys.push_back(key);
        cells.sums.emplace_back();
      }
      ColorSum& sum = cells.sums[static_cast<std::size_t>(slotOf[key])];
      sum.r += cell.r;
      sum.g += cell.g;
      sum.b += cell.b;
      sum.count += cell.count;
      cell = Sum32{0, 0, 0, 0};
    }
  }
  return cells;
}

// One level of the tree, the cells at the bottom: the nodes that hold pixels,
// with their sums, the slots of their parents and the number of their
// children.
struct OctreeLevel {
  std::vector<std::uint32_t> keys;
  std::vector<ColorSum> sums;
  std::vector<std::uint32_t> parents;  // slot of each node's parent one level up
  std::vector<std::uint32_t> children;
};

std::array<OctreeLevel, kCellBits + 1> BuildOctree(const Cells& cells) {
  std::array<OctreeLevel, kCellBits + 1> levels;
  levels[kCellBits].keys = cells.keys;
  levels[kCellBits].sums = cells.sums;
  for (int level = kCellBits - 1; level >= 1; --level) {
    OctreeLevel& below = levels[level + 1];
    OctreeLevel& here = levels[level];
    std::vector<std::int32_t> slotOf(std::size_t{1} << (3 * level), -1);
    below.parents.resize(below.keys.size());
    for (std::size_t i = 0; i < below.keys.size(); ++i) {
      const std::uint32_t parent = ParentKey(below.keys[i], level + 1);
      if (slotOf[parent] < 0) {
        slotOf[parent] = static_cast<std::int32_t>(here.keys.size());
        here.keys.push_back(parent);
        here.sums.emplace_back();
        here.children.push_back(0);
      }
      const auto slot = static_cast<std::size_t>(slotOf[parent]);
      below.parents[i] = static_cast<std::uint32_t>(slot);
      here.sums[slot].Add(below.sums[i]);
      ++here.children[slot];
    }
  }
  return levels;
}

// Sorts by the bits from `low` up, keeping the order of numbers equal in
// them: a radix sort, a byte at a time from the lowest, skipping the bytes
// all the numbers share. (A comparison sort of the nodes' costs spends its
// time on mispredicted branches, each comparison being a coin toss.)
void SortByHighBits(std::vector<std::uint64_t>& numbers, int low) {
  if (numbers.empty()) return;
  const int digits = (64 - low + 7) / 8;
  std::array<std::array<std::uint32_t, 256>, 8> counts{};
  for (const std::uint64_t n : numbers) {
    for (int d = 0; d < digits; ++d)
      ++counts[d][(n >> (low + 8 * d)) & 0xFF];
  }
  std::vector<std::uint64_t> spare(numbers.size());
  for (int d = 0; d < digits; ++d) {
    const int shift = low + 8 * d;
    std::array<std::uint32_t, 256>& at = counts[d];
    if (at[(numbers[0] >> shift) & 0xFF] == numbers.size()) continue;
    std::uint32_t start = 0;
    for (std::uint32_t& count : at) {
      const std::uint32_t n = count;
      count = start;
      start += n;
    }
    for (const std::uint64_t n : numbers)
      spare[at[(n >> shift) & 0xFF]++] = n;
    numbers.swap(spare);
  }
}

// Pruning folds one node at a time into its parent, the cheapest first,
// until few enough colours are left: the pixels of the node (its children
// folded into it before) then share the parent's colour, beside the parent's
// other children. Folding a node costs its pixels times the volume of its cube: all
// those pixels take one colour for that much of the colour cube. So the many
// pixels of a smooth area keep fine steps, and a small patch of a distinct
// colour keeps its colour instead of being given up with its level, as
// pruning whole levels by the number of pixels would do (the highlights of a
// photo, the text of a screenshot). Nodes are not folded into the root.
std::vector<ColorSum> PruneOctree(const Cells& cells, std::size_t maxColors) {
  const std::array<OctreeLevel, kCellBits + 1> levels = BuildOctree(cells);
  std::size_t colors = levels[kCellBits].keys.size();
  if (colors <= maxColors) return levels[kCellBits].sums;

  // The nodes by cost, deeper ones first at equal cost, each as one number:
  // the cost (pixels, at most 2^28 of them counted, times the side cubed, at
  // most 2^18), then the level, then the slot (fewer than 2^15 a level). A
  // node costs at least eight times as much as any of its children, so by
  // the time a node is folded its children have all been folded into it.
  // They are listed in the order of level and slot, so that a sort by cost
  // that keeps that order puts them in the order of the whole numbers.
  constexpr int kTieBits = 17;
  std::vector<std::uint64_t> order;
  for (int level = kCellBits; level >= 2; --level) {
    const int shift = 3 * (8 - level);
    for (std::uint32_t slot = 0; slot < levels[level].keys.size(); ++slot) {
      const std::uint64_t pixels =
          std::min<std::uint64_t>(levels[level].sums[slot].count, (std::uint64_t{1} << 28) - 1);
      const std::uint64_t tie = (std::uint64_t(kCellBits - level) << 15) | slot;
      order.push_back((pixels << shift << kTieBits) | tie);
    }
  }
  SortByHighBits(order, kTieBits);

  // The pixels each node stands for itself (at first only the cells), and
  // whether it has been folded away.
  std::array<std::vector<ColorSum>, kCellBits + 1> own;
  std::array<std::vector<bool>, kCellBits + 1> folded;
  for (int level = 1; level <= kCellBits; ++level) {
    own[level].assign(levels[level].keys.size(), ColorSum{});
    folded[level].assign(levels[level].keys.size(), false);
  }
  own[kCellBits] = levels[kCellBits].sums;
  for (const std::uint64_t key : order) {
    if (colors <= maxColors) break;
    const int level = kCellBits - int((key >> 15) & 3);
    const auto slot = static_cast<std::uint32_t>(key & 0x7FFF);
    ColorSum& into = own[level - 1][levels[level].parents[slot]];
    if (into.count > 0) --colors;  // two colours become one
    into.Add(own[level][slot]);
    folded[level][slot] = true;
  }

  std::vector<ColorSum> result;
  for (int level = 1; level <= kCellBits; ++level) {
    for (std::uint32_t slot = 0; slot < levels[level].keys.size(); ++slot) {
      if (!folded[level][slot] && own[level][slot].count > 0) result.push_back(own[level][slot]);
    }
  }
  return result;
}

// The octree cannot go below the children of its root (up to 8 colours); for
// smaller palettes the closest clusters are joined, weighted by their sizes.
void MergeClosestClusters(std::vector<ColorSum>& clusters, std::size_t maxColors) {
  while (clusters.size() > maxColors) {
    std::size_t bestA = 0, bestB = 1;
    double bestCost = std::numeric_limits<double>::max();
    for (std::size_t a = 0; a < clusters.size(); ++a) {
      for (std::size_t b = a + 1; b < clusters.size(); ++b) {
        const double na = double(clusters[a].count), nb = double(clusters[b].count);
        const double cost =
            na * nb / (na + nb) * SquaredDistance(clusters[a].Average(), clusters[b].Average());
        if (cost < bestCost) {
          bestCost = cost;
          bestA = a;
          bestB = b;
        }
      }
    }
    clusters[bestA].Add(clusters[bestB]);
    clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(bestB));
  }
}

// Nearest palette colour, exact. The cube is cut into 8 × 8 × 8 boxes; the
// candidates of a box are the palette colours that can be nearest to some
// point of it, found when a colour first falls in the box: those no farther
// from the box than the farthest point of the box is from some palette colour.
class NearestColor {
 public:
  explicit NearestColor(const std::vector<Color>& palette) : size_(palette.size()) {
    boxStart_.fill(-1);
    for (int axis = 0; axis < 3; ++axis) {
      axisNear_[axis].resize(kSides * size_);
      axisFar_[axis].resize(kSides * size_);
      for (int side = 0; side < kSides; ++side) {
        for (std::size_t i = 0; i < size_; ++i) {
          const int value = static_cast<int>((palette[i] >> (8 * axis)) & 0xFF);
          const int low = side << kBoxShift, high = low + kBoxSide - 1;
          const int near = value < low ? low - value : (value > high ? value - high : 0);
          const int far = std::max(value - low, high - value);
          axisNear_[axis][side * size_ + i] = near * near;
          axisFar_[axis][side * size_ + i] = far * far;
        }
      }
    }
    colors_ = palette;
  }

  struct Candidate {
    std::int16_t r, g, b;
    std::uint8_t index;
  };
  struct Candidates {
    const Candidate* begin;
    const Candidate* end;
  };
  // The palette colours that can be nearest to some point of the box that
  // holds (r, g, b), in the order of the palette.
  Candidates CandidatesNear(int r, int g, int b) {
    const std::uint32_t box = KeyOf(r, g, b, kBoxBits);
    if (boxStart_[box] < 0) FillBox(box);
    const Candidate* first = candidates_.data() + boxStart_[box];
    return {first, first + boxCount_[box]};
  }

  // Of colours equally near, the first in the palette. All the box's
  // few candidates are measured, eight at a time: a scan that stops when no
  // candidate can be nearer spends more on guessing when to stop than it
  // saves.
  std::uint8_t Find(int r, int g, int b) {
    const std::uint32_t box = KeyOf(r, g, b, kBoxBits);
    if (boxStart_[box] < 0) FillBox(box);
    const Lanes* lanes = lanes_.data() + 3 * static_cast<std::size_t>(boxGroupStart_[box]);
    const Lanes red = Lanes{} + static_cast<std::int16_t>(r);
    const Lanes green = Lanes{} + static_cast<std::int16_t>(g);
    const Lanes blue = Lanes{} + static_cast<std::int16_t>(b);
    Wide best = Wide{} + std::numeric_limits<int>::max();  // distance and place in one number
    Wide place = {0, 1, 2, 3};
    for (int group = 0; group < boxGroups_[box]; ++group, lanes += 3, place += 8) {
      // Differences of at most 255 either way: their squares fit 16 bits
      // unsigned, their sums do not.
      const auto dr = (UnsignedLanes)(red - lanes[0]), dg = (UnsignedLanes)(green - lanes[1]),
                 db = (UnsignedLanes)(blue - lanes[2]);
      const UnsignedLanes sr = dr * dr, sg = dg * dg, sb = db * db;
      const Wide low = LowLanes(sr) + LowLanes(sg) + LowLanes(sb);
      const Wide high = HighLanes(sr) + HighLanes(sg) + HighLanes(sb);
      best = Min(best, Min((low << 8) | place, (high << 8) | (place + 4)));
    }
    const int nearest = std::min(std::min(best[0], best[1]), std::min(best[2], best[3]));
    return candidates_[static_cast<std::size_t>(boxStart_[box] + (nearest & 0xFF))].index;
  }

 private:
  static constexpr int kBoxBits = 3;
  static constexpr int kSides = 1 << kBoxBits;
  static constexpr int kBoxShift = 8 - kBoxBits;
  static constexpr int kBoxSide = 1 << kBoxShift;
  static constexpr int kBoxes = 1 << (3 * kBoxBits);

  void FillBox(std::uint32_t box) {
    const std::size_t mask = kSides - 1;
    const std::size_t sideR = box >> (2 * kBoxBits), sideG = (box >> kBoxBits) & mask,
                      sideB = box & mask;
    const std::int32_t* nr = &axisNear_[0][sideR * size_];
    const std::int32_t* ng = &axisNear_[1][sideG * size_];
    const std::int32_t* nb = &axisNear_[2][sideB * size_];
    const std::int32_t* fr = &axisFar_[0][sideR * size_];
    const std::int32_t* fg = &axisFar_[1][sideG * size_];
    const std::int32_t* fb = &axisFar_[2][sideB * size_];
    std::int32_t bound = std::numeric_limits<std::int32_t>::max();
    for (std::size_t i = 0; i < size_; ++i)
      bound = std::min(bound, fr[i] + fg[i] + fb[i]);
    const std::size_t start = candidates_.size();
    for (std::size_t i = 0; i < size_; ++i) {
      if (nr[i] + ng[i] + nb[i] <= bound) {
        const Color c = colors_[i];
        candidates_.push_back(
            Candidate{RedOf(c), GreenOf(c), BlueOf(c), static_cast<std::uint8_t>(i)});
      }
    }
    boxStart_[box] = static_cast<std::int32_t>(start);
    boxCount_[box] = static_cast<std::int32_t>(candidates_.size() - start);
    // The same in groups of eight lanes of red, green and blue, for Find; the
    // last group filled up with the first candidate, which is as near and
    // comes first. A box has at most 256 candidates: their places fit a byte.
    const int count = boxCount_[box];
    boxGroupStart_[box] = static_cast<std::int32_t>(lanes_.size() / 3);
    boxGroups_[box] = (count + 7) / 8;
    for (int group = 0; group < boxGroups_[box]; ++group) {
      Lanes red{}, green{}, blue{};
      for (int lane = 0; lane < 8; ++lane) {
        const int place = group * 8 + lane;
        const Candidate& c =
            candidates_[start + static_cast<std::size_t>(place < count ? place : 0)];
        red[lane] = c.r;
        green[lane] = c.g;
        blue[lane] = c.b;
      }
      lanes_.insert(lanes_.end(), {red, green, blue});
    }
  }

  std::size_t size_;
  std::vector<Color> colors_;
  std::array<std::int32_t, kBoxes> boxStart_{};
  std::array<std::int32_t, kBoxes> boxCount_{};
  std::array<std::int32_t, kBoxes> boxGroupStart_{};
  std::array<std::int32_t, kBoxes> boxGroups_{};
  std::vector<Candidate> candidates_;
  std::vector<Lanes> lanes_;
  std::array<std::vector<std::int32_t>, 3> axisNear_, axisFar_;
};

// The nearest palette colour of a colour, for the dithering, which asks for
// one a pixel. The cube is cut into small cells (five bits a channel); each
// cell keeps the two palette colours nearest to its centre, and each pixel
// takes the nearer of them: most often its exactly nearest colour. (A colour
// near but not nearest adds noise that the error diffusion spreads over flat
// areas; the nearest colour to the cell's centre alone often is such a
// colour.) Each pixel's choice waits for the error of the one before it, so
// the lookup is kept short: a cell holds its two colours themselves, not
// their indices, so that the distances wait for one load only.
//
// The cells are filled a search box (4 × 4 × 4 cells) at a time, when a
// colour first falls in the box: the box's candidates are gone through once
// for all its cells, whose distances to a candidate are sums of the same
// few squares, four cells to a vector.
class NearestColorCache {
 private:
  static constexpr int kBits = 5;
  static constexpr int kShift = 8 - kBits;
  static constexpr int kSide = 1 << kShift;
  static constexpr int kPerBox = 4;  // cells along each side of a box
  static constexpr int kNone = std::numeric_limits<int>::max();

 public:
  // The lower index of the two first; a cell not filled yet has them the
  // other way round.
  struct Pair {
    std::uint8_t r0, g0, b0, index0;
    std::uint8_t r1, g1, b1, index1;

    bool Filled() const { return index0 <= index1; }
  };

  explicit NearestColorCache(const std::vector<Color>& palette)
      : search_(palette),
        palette_(palette),
        cells_(std::size_t{1} << (3 * kBits), Pair{0, 0, 0, 1, 0, 0, 0, 0}) {}

  static std::uint32_t CellOf(int r, int g, int b) {
    return (std::uint32_t(r >> kShift) << (2 * kBits)) | (std::uint32_t(g >> kShift) << kBits) |
           std::uint32_t(b >> kShift);
  }

  // The cells, by CellOf.
  const Pair* Cells() const { return cells_.data(); }

  // Fills the cells of the box that holds `cell`.
  void Fill(std::uint32_t cell) {
    constexpr std::uint32_t kCorner = ((1u << kBits) - 1) & ~std::uint32_t(kPerBox - 1);
    const int first[3] = {int((cell >> (2 * kBits)) & kCorner), int((cell >> kBits) & kCorner),
                          int(cell & kCorner)};
    const NearestColor::Candidates box =
        search_.CandidatesNear(first[0] << kShift, first[1] << kShift, first[2] << kShift);
    auto centre = [&](int axis, int i) { return ((first[axis] + i) << kShift) + kSide / 2; };
    // Distance and index in one number, of the nearest and second nearest
    // colour to the centre of each cell so far; a vector for each row of
    // four cells along blue.
    constexpr int kRows = kPerBox * kPerBox;
    static_assert(kPerBox == 4, "a row of cells is one vector");
    Wide best[kRows], second[kRows];
    for (int row = 0; row < kRows; ++row)
      best[row] = second[row] = Wide{} + kNone;
    const Wide blueCentres = {centre(2, 0), centre(2, 1), centre(2, 2), centre(2, 3)};
    for (const auto* c = box.begin; c != box.end; ++c) {
      int red[kPerBox], green[kPerBox];
      for (int i = 0; i < kPerBox; ++i) {
        red[i] = Square(centre(0, i) - c->r);
        green[i] = Square(centre(1, i) - c->g);
      }
      const Wide db = blueCentres - int{c->b};
      const Wide blue = db * db;
      for (int row = 0; row < kRows; ++row) {
        const Wide key = ((blue + (red[row / kPerBox] + green[row % kPerBox])) << 8) | c->index;
        second[row] = Min(second[row], Max(best[row], key));
        best[row] = Min(best[row], key);
      }
    }
    for (int row = 0; row < kRows; ++row) {
      const std::uint32_t at = (std::uint32_t(first[0] + row / kPerBox) << (2 * kBits)) |
                               (std::uint32_t(first[1] + row % kPerBox) << kBits) |
                               std::uint32_t(first[2]);
      for (int k = 0; k < kPerBox; ++k) {
        // A box of a single candidate repeats it.
        const int one = best[row][k] & 0xFF;
        const int other = second[row][k] == kNone ? one : second[row][k] & 0xFF;
        const Color low = palette_[std::min(one, other)], high = palette_[std::max(one, other)];
        cells_[at + k] =
            Pair{RedOf(low),  GreenOf(low),  BlueOf(low),  std::uint8_t(std::min(one, other)),
                 RedOf(high), GreenOf(high), BlueOf(high), std::uint8_t(std::max(one, other))};
      }
    }
  }

 private:
  NearestColor search_;
  std::vector<Color> palette_;
  std::vector<Pair> cells_;
};

// Moves each palette colour half way to the mean of the cells nearest to it
// (half a round of k-means): the octree's cuts follow the bits of the colour
// values, not the picture. The whole way would draw the colours at the edge
// of the picture's range inwards, and the dithering would pay for the range
// lost more than it gains.
constexpr double kRefineShare = 0.5;

void Refine(std::vector<Color>& palette, const Cells& cells) {
  NearestColor nearest(palette);
  std::vector<ColorSum> members(palette.size());
  for (const ColorSum& cell : cells.sums) {
    const Color mean = cell.Average();
    members[nearest.Find(RedOf(mean), GreenOf(mean), BlueOf(mean))].Add(cell);
  }
  for (std::size_t i = 0; i < palette.size(); ++i) {
    if (members[i].count == 0) continue;
    const Color mean = members[i].Average(), old = palette[i];
    auto toward = [](int from, int to) {
      return static_cast<std::uint8_t>(from + std::lround((to - from) * kRefineShare));
    };
    palette[i] = MakeColor(toward(RedOf(old), RedOf(mean)), toward(GreenOf(old), GreenOf(mean)),
                           toward(BlueOf(old), BlueOf(mean)));
  }
}

std::vector<Color> BuildPalette(const Bitmap& picture, std::size_t maxColors) {
  const Cells cells = CountCells(picture);
  std::vector<ColorSum> clusters = PruneOctree(cells, maxColors);
  MergeClosestClusters(clusters, maxColors);
  std::vector<Color> palette;
  for (const ColorSum& cluster : clusters)
    palette.push_back(cluster.Average());
  Refine(palette, cells);
  return palette;
}

// Floyd–Steinberg: 7/16 ahead, 3/16 behind below, 5/16 below, 1/16 ahead
// below; errors are kept in sixteenths. One buffer holds the errors for the
// row below: a pixel reads its entry before the pixel behind it is rewritten
// with the errors for the next row, which are gathered in registers on the
// way. The buffer has a spare pixel at both ends so that the edges need no
// tests. The three channels of a pixel are one vector (a GCC and Clang
// extension) of 16-bit lanes: an error is at most 255 either way, sixteen
// of them at most 4080.
//
// Each pixel waits for the error of the one before it, and its choice takes
// the processor far longer than the work it does: the top and the bottom
// half of the picture are therefore dithered as two bands side by side, a
// pixel of each in turn, so that one's wait is spent on the other. The first
// row of the bottom band starts without errors from above, as the top row
// does.

struct Band {
  const std::uint8_t* source;
  std::uint8_t* index;
  Lanes* error;
  Lanes ahead;   // 7/16 for the next pixel
  Lanes behind;  // gathered for the pixel behind, below
  Lanes below;   // gathered for this pixel, below
};

// The value the band's next pixel takes with the errors it is given.
Lanes NextValue(const Band& band) {
  const Lanes pixel{band.source[0], band.source[1], band.source[2]};
  const Lanes value = pixel + ((*band.error + band.ahead + 8) >> 4);
  const Lanes low = value < 0 ? 0 : value;
  return low > 255 ? 255 : low;
}

std::uint32_t CellOf(Lanes value) {
  return NearestColorCache::CellOf(static_cast<std::uint16_t>(value[0]),
                                   static_cast<std::uint16_t>(value[1]),
                                   static_cast<std::uint16_t>(value[2]));
}

// Dithers the next pixels of a row of each of the N bands, side by side,
// up to pixel `end` or the first pixel of any band whose cell of the cache
// is not filled yet; returns where it stopped. It calls nothing, and is
// called once for a row, and again after each fill, so that the compiler
// keeps its values in registers.
template <int N, int Step>
[[gnu::noinline]] int DitherRun(Band (&bands)[N], int i, int end,
                                const NearestColorCache::Pair* cells, const Lanes* colors) {
  Band band[N];
  for (int n = 0; n < N; ++n)
    band[n] = bands[n];
  for (; i < end; ++i) {
    Lanes value[N];
    const NearestColorCache::Pair* pairs[N];
    bool filled = true;
    for (int n = 0; n < N; ++n) {
      value[n] = NextValue(band[n]);
      pairs[n] = cells + CellOf(value[n]);
      filled &= pairs[n]->Filled();
    }
    if (!filled) break;
    for (int n = 0; n < N; ++n) {
      const int r = static_cast<std::uint16_t>(value[n][0]);
      const int g = static_cast<std::uint16_t>(value[n][1]);
      const int b = static_cast<std::uint16_t>(value[n][2]);
      const NearestColorCache::Pair& pair = *pairs[n];
      const int d0 = Square(r - pair.r0) + Square(g - pair.g0) + Square(b - pair.b0);
      const int d1 = Square(r - pair.r1) + Square(g - pair.g1) + Square(b - pair.b1);
      // Without a branch: which of the two is nearer is anyone's guess.
      const int second = -int(d1 < d0);
      const auto chosen =
          static_cast<std::uint8_t>(pair.index0 ^ ((pair.index0 ^ pair.index1) & second));
      *band[n].index = chosen;
      const Lanes e = value[n] - colors[chosen];
      band[n].error[-Step] = band[n].behind + (e << 1) + e;
      band[n].behind = band[n].below + (e << 2) + e;
      band[n].below = e;
      band[n].ahead = (e << 3) - e;
      band[n].source += 3 * Step;
      band[n].error += Step;
      band[n].index += Step;
    }
  }
  for (int n = 0; n < N; ++n)
    bands[n] = band[n];
  return i;
}

// One row of each of the N bands, all in the same direction.
template <int N, int Step>
void DitherRows(Band (&bands)[N], int w, NearestColorCache& nearest, const Lanes* colors) {
  for (int i = 0; (i = DitherRun<N, Step>(bands, i, w, nearest.Cells(), colors)) < w;) {
    for (const Band& band : bands) {
      const std::uint32_t cell = CellOf(NextValue(band));
      if (!nearest.Cells()[cell].Filled()) nearest.Fill(cell);
    }
  }
  for (Band& band : bands)
    band.error[-Step] = band.behind;
}

void DitherToPalette(const Bitmap& picture, const std::vector<Color>& palette,
                     IndexedPicture& out) {
  const int w = picture.Width(), h = picture.Height();
  NearestColorCache nearest(palette);
  std::vector<Lanes> colors;
  for (Color c : palette)
    colors.push_back(Lanes{RedOf(c), GreenOf(c), BlueOf(c)});
  std::vector<Lanes> errors[2];
  for (auto& buffer : errors)
    buffer.assign(static_cast<std::size_t>(w) + 2, Lanes{});
  auto start = [&](Band& band, int y, std::vector<Lanes>& buffer, bool forward) {
    band.source = picture.Row(y) + (forward ? 0 : (w - 1) * 3);
    band.index = out.indices.data() + static_cast<std::size_t>(y) * w + (forward ? 0 : w - 1);
    band.error = buffer.data() + (forward ? 1 : w);
    band.ahead = band.behind = band.below = Lanes{};
  };
  // The bottom band has the odd row, dithered alone at the end.
  const int top = h / 2;
  for (int y = 0; y < h - top; ++y) {
    const bool forward = y % 2 == 0;
    if (y < top) {
      Band bands[2];
      start(bands[0], y, errors[0], forward);
      start(bands[1], top + y, errors[1], forward);
      if (forward)
        DitherRows<2, 1>(bands, w, nearest, colors.data());
      else
        DitherRows<2, -1>(bands, w, nearest, colors.data());
    } else {
      Band bands[1];
      start(bands[0], top + y, errors[1], forward);
      if (forward)
        DitherRows<1, 1>(bands, w, nearest, colors.data());
      else
        DitherRows<1, -1>(bands, w, nearest, colors.data());
    }
  }
}

}  // namespace

IndexedPicture QuantizeOctree(const Bitmap& picture, int bits) {
  if (bits < 1 || bits > 8) throw std::invalid_argument("colour depth must be 1 to 8 bits");
  IndexedPicture out;
  out.width = picture.Width();
  out.height = picture.Height();
  if (picture.Empty()) return out;
  out.indices.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  const std::size_t maxColors = std::size_t{1} << bits;
  if (MapFewColors(picture, maxColors, out)) return out;
  out.palette = BuildPalette(picture, maxColors);
  DitherToPalette(picture, out.palette, out);
  return out;
}

}  // namespace quillet
