#include "core/codecs/Quantize.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <vector>

// Colour reduction in three steps: an octree of the picture's colours is
// pruned to the palette size (smallest branches first, deepest level first),
// then every pixel is mapped to its nearest palette colour with
// Floyd–Steinberg error diffusion in serpentine order, which avoids the
// diagonal "worms" of left-to-right scanning. The nearest-colour search looks
// only at the palette colours that can be nearest within a small box of the
// colour cube, computed once per box that the picture touches.

namespace quillet {
namespace {

constexpr int kTreeDepth = 6;  // leaves hold colours that agree in the top 6 bits

struct ColorSum {
  std::uint64_t r = 0, g = 0, b = 0, count = 0;

  void Add(const ColorSum& other) {
    r += other.r;
    g += other.g;
    b += other.b;
    count += other.count;
  }
  Color Average() const {
    auto mean = [this](std::uint64_t sum) {
      return static_cast<std::uint8_t>((sum + count / 2) / count);
    };
    return MakeColor(mean(r), mean(g), mean(b));
  }
};

struct OctreeNode {
  ColorSum sum;
  std::array<std::int32_t, 8> children{-1, -1, -1, -1, -1, -1, -1, -1};
  int level = 0;
  bool leaf = false;
};

class Octree {
 public:
  Octree() { nodes_.emplace_back(); }

  // Adds the pixels of one leaf cell, `sum` of them, whose colours share the
  // top bits of `r`, `g` and `b`.
  void Insert(int r, int g, int b, const ColorSum& sum) {
    std::int32_t node = 0;
    for (int level = 0; level < kTreeDepth; ++level) {
      const int shift = 7 - level;
      const int branch = (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
      std::int32_t child = nodes_[node].children[branch];
      if (child < 0) {
        child = static_cast<std::int32_t>(nodes_.size());
        nodes_[node].children[branch] = child;
        OctreeNode fresh;
        fresh.level = level + 1;
        fresh.leaf = level + 1 == kTreeDepth;
        if (fresh.leaf) ++leaves_;
        nodes_.push_back(fresh);
      }
      node = child;
    }
    nodes_[node].sum.Add(sum);
  }

  // Prunes the tree to at most `maxLeaves` leaves and returns their sums.
  std::vector<ColorSum> Reduce(int maxLeaves) {
    SumSubtree(0);
    for (int level = kTreeDepth - 1; level >= 1 && leaves_ > maxLeaves; --level) {
      std::vector<std::int32_t> candidates;
      for (std::size_t n = 0; n < nodes_.size(); ++n) {
        if (nodes_[n].level == level && !nodes_[n].leaf) {
          candidates.push_back(static_cast<std::int32_t>(n));
        }
      }
      std::stable_sort(candidates.begin(), candidates.end(), [this](auto a, auto b) {
        return nodes_[a].sum.count < nodes_[b].sum.count;
      });
      for (std::int32_t n : candidates) {
        if (leaves_ <= maxLeaves) break;
        MakeLeaf(n);
      }
    }
    std::vector<ColorSum> sums;
    CollectLeaves(0, sums);
    return sums;
  }

 private:
  void SumSubtree(std::int32_t n) {
    if (nodes_[n].leaf) return;
    ColorSum total;
    for (std::int32_t child : nodes_[n].children) {
      if (child < 0) continue;
      SumSubtree(child);
      total.Add(nodes_[child].sum);
    }
    nodes_[n].sum = total;
  }

  void MakeLeaf(std::int32_t n) {
    int children = 0;
    for (std::int32_t& child : nodes_[n].children) {
      if (child >= 0) ++children;
      child = -1;
    }
    nodes_[n].leaf = true;
    leaves_ -= children - 1;
  }

  void CollectLeaves(std::int32_t n, std::vector<ColorSum>& out) const {
    if (nodes_[n].leaf) {
      out.push_back(nodes_[n].sum);
      return;
    }
    for (std::int32_t child : nodes_[n].children) {
      if (child >= 0) CollectLeaves(child, out);
    }
  }

  std::vector<OctreeNode> nodes_;
  int leaves_ = 0;
};

int SquaredDistance(Color a, Color b) {
  const int dr = RedOf(a) - RedOf(b), dg = GreenOf(a) - GreenOf(b), db = BlueOf(a) - BlueOf(b);
  return dr * dr + dg * dg + db * db;
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

// The colours of the picture when there are at most `maxColors` of them.
bool CollectFewColors(const Bitmap& picture, std::size_t maxColors, std::vector<Color>& colors) {
  std::unordered_map<Color, int> seen;
  const std::uint8_t* p = picture.Data();
  const std::uint8_t* end = p + picture.SizeInBytes();
  Color last = 0xFFFFFFFFu;
  for (; p != end; p += 3) {
    const Color c = MakeColor(p[0], p[1], p[2]);
    if (c == last) continue;
    last = c;
    if (seen.emplace(c, 0).second) {
      if (seen.size() > maxColors) return false;
      colors.push_back(c);
    }
  }
  return true;
}

// Nearest palette colour, exact, searching only the palette colours that can
// be nearest for some colour of the 8×8×8 box the colour falls in. The
// distances from every palette colour to every box are separable by axis and
// kept in small tables, so that finding a box's candidates is a few vector
// additions over the palette.
class NearestColor {
 public:
  explicit NearestColor(const std::vector<Color>& palette)
      : palette_(palette),
        size_(palette.size()),
        boxStart_(kBoxes, -1),
        boxCount_(kBoxes, 0),
        nearest_(size_),
        farthest_(size_) {
    for (int axis = 0; axis < 3; ++axis) {
      axisNear_[axis].resize(kSides * size_);
      axisFar_[axis].resize(kSides * size_);
      for (int side = 0; side < kSides; ++side) {
        for (std::size_t i = 0; i < size_; ++i) {
          const int value = static_cast<int>((palette_[i] >> (8 * axis)) & 0xFF);
          const int low = side << kBoxShift, high = low + kBoxSide - 1;
          const int near = value < low ? low - value : (value > high ? value - high : 0);
          const int far = std::max(value - low, high - value);
          axisNear_[axis][side * size_ + i] = near * near;
          axisFar_[axis][side * size_ + i] = far * far;
        }
      }
    }
  }

  std::uint8_t Find(int r, int g, int b) {
    const int box =
        ((r >> kBoxShift) << (2 * kBoxBits)) | ((g >> kBoxShift) << kBoxBits) | (b >> kBoxShift);
    if (boxStart_[box] < 0) FillBox(r >> kBoxShift, g >> kBoxShift, b >> kBoxShift, box);
    const std::uint8_t* candidate = candidates_.data() + boxStart_[box];
    int best = std::numeric_limits<int>::max();
    std::uint8_t bestIndex = 0;
    for (int i = 0; i < boxCount_[box]; ++i) {
      const Color c = palette_[candidate[i]];
      const int dr = r - RedOf(c), dg = g - GreenOf(c), db = b - BlueOf(c);
      const int d = dr * dr + dg * dg + db * db;
      if (d < best) {
        best = d;
        bestIndex = candidate[i];
      }
    }
    return bestIndex;
  }

 private:
  static constexpr int kBoxBits = 5;
  static constexpr int kSides = 1 << kBoxBits;
  static constexpr int kBoxShift = 8 - kBoxBits;
  static constexpr int kBoxSide = 1 << kBoxShift;
  static constexpr int kBoxes = 1 << (3 * kBoxBits);

  void FillBox(int sideR, int sideG, int sideB, int box) {
    const std::int32_t* nr = &axisNear_[0][sideR * size_];
    const std::int32_t* ng = &axisNear_[1][sideG * size_];
    const std::int32_t* nb = &axisNear_[2][sideB * size_];
    const std::int32_t* fr = &axisFar_[0][sideR * size_];
    const std::int32_t* fg = &axisFar_[1][sideG * size_];
    const std::int32_t* fb = &axisFar_[2][sideB * size_];
    std::int32_t bound = std::numeric_limits<std::int32_t>::max();
    for (std::size_t i = 0; i < size_; ++i) {
      nearest_[i] = nr[i] + ng[i] + nb[i];
      bound = std::min(bound, fr[i] + fg[i] + fb[i]);
    }
    boxStart_[box] = static_cast<std::int32_t>(candidates_.size());
    for (std::size_t i = 0; i < size_; ++i) {
      if (nearest_[i] <= bound) candidates_.push_back(static_cast<std::uint8_t>(i));
    }
    boxCount_[box] = static_cast<int>(candidates_.size()) - boxStart_[box];
  }

  const std::vector<Color>& palette_;
  std::size_t size_;
  std::vector<std::int32_t> boxStart_;
  std::vector<int> boxCount_;
  std::vector<std::uint8_t> candidates_;
  std::vector<std::int32_t> nearest_, farthest_;
  std::array<std::vector<std::int32_t>, 3> axisNear_, axisFar_;
};

// The octree's cuts follow the bits of the colour values, not the picture;
// moving each palette colour to the mean of the cells nearest to it (a round
// of k-means) fits the palette to the picture's clusters.
constexpr int kRefineRounds = 1;

void Refine(std::vector<Color>& palette, const std::vector<ColorSum>& cells) {
  NearestColor nearest(palette);
  std::vector<ColorSum> members(palette.size());
  for (const ColorSum& cell : cells) {
    const Color mean = cell.Average();
    members[nearest.Find(RedOf(mean), GreenOf(mean), BlueOf(mean))].Add(cell);
  }
  for (std::size_t i = 0; i < palette.size(); ++i) {
    if (members[i].count > 0) palette[i] = members[i].Average();
  }
}

std::vector<Color> BuildPalette(const Bitmap& picture, std::size_t maxColors) {
  std::vector<Color> palette;
  if (CollectFewColors(picture, maxColors, palette)) return palette;
  // Gather the pixels into the tree's leaf cells first, so that the tree is
  // walked once a cell rather than once a pixel.
  constexpr int cellShift = 8 - kTreeDepth;
  std::vector<std::int32_t> cellOf(std::size_t{1} << (3 * kTreeDepth), -1);
  std::vector<ColorSum> cells;
  std::vector<Color> cellColors;
  const std::uint8_t* p = picture.Data();
  const std::uint8_t* end = p + picture.SizeInBytes();
  for (; p != end; p += 3) {
    const std::size_t key = (std::size_t(p[0] >> cellShift) << (2 * kTreeDepth)) |
                            (std::size_t(p[1] >> cellShift) << kTreeDepth) |
                            std::size_t(p[2] >> cellShift);
    if (cellOf[key] < 0) {
      cellOf[key] = static_cast<std::int32_t>(cells.size());
      cells.emplace_back();
      cellColors.push_back(MakeColor(p[0], p[1], p[2]));
    }
    ColorSum& cell = cells[static_cast<std::size_t>(cellOf[key])];
    cell.r += p[0];
    cell.g += p[1];
    cell.b += p[2];
    ++cell.count;
  }
  Octree tree;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    tree.Insert(RedOf(cellColors[i]), GreenOf(cellColors[i]), BlueOf(cellColors[i]), cells[i]);
  }
  std::vector<ColorSum> clusters = tree.Reduce(static_cast<int>(maxColors));
  MergeClosestClusters(clusters, maxColors);
  palette.clear();
  for (const ColorSum& cluster : clusters)
    palette.push_back(cluster.Average());
  for (int round = 0; round < kRefineRounds; ++round)
    Refine(palette, cells);
  return palette;
}

// Floyd–Steinberg: 7/16 ahead, 3/16 behind below, 5/16 below, 1/16 ahead
// below; errors are kept in sixteenths. Each row buffer has one spare pixel on
// both sides so that the edges need no tests.
void DitherToPalette(const Bitmap& picture, const std::vector<Color>& palette,
                     IndexedPicture& out) {
  const int w = picture.Width();
  NearestColor nearest(palette);
  std::vector<int> thisRow(static_cast<std::size_t>(w + 2) * 3, 0);
  std::vector<int> nextRow(thisRow.size(), 0);
  for (int y = 0; y < picture.Height(); ++y) {
    const bool forward = y % 2 == 0;
    const int step = forward ? 1 : -1;
    const std::uint8_t* row = picture.Row(y);
    std::uint8_t* indices = out.indices.data() + static_cast<std::size_t>(y) * w;
    std::fill(nextRow.begin(), nextRow.end(), 0);
    for (int i = 0; i < w; ++i) {
      const int x = forward ? i : w - 1 - i;
      const std::size_t e = static_cast<std::size_t>(x + 1) * 3;
      int value[3];
      for (int c = 0; c < 3; ++c) {
        value[c] = std::clamp(row[x * 3 + c] + ((thisRow[e + c] + 8) >> 4), 0, 255);
      }
      const std::uint8_t index = nearest.Find(value[0], value[1], value[2]);
      indices[x] = index;
      const Color chosen = palette[index];
      const int error[3] = {value[0] - RedOf(chosen), value[1] - GreenOf(chosen),
                            value[2] - BlueOf(chosen)};
      const std::size_t ahead = static_cast<std::size_t>(x + 1 + step) * 3;
      const std::size_t behind = static_cast<std::size_t>(x + 1 - step) * 3;
      for (int c = 0; c < 3; ++c) {
        thisRow[ahead + c] += error[c] * 7;
        nextRow[behind + c] += error[c] * 3;
        nextRow[e + c] += error[c] * 5;
        nextRow[ahead + c] += error[c];
      }
    }
    std::swap(thisRow, nextRow);
  }
}

}  // namespace

IndexedPicture QuantizeOctree(const Bitmap& picture, int bits) {
  if (bits < 1 || bits > 8) throw std::invalid_argument("colour depth must be 1 to 8 bits");
  IndexedPicture out;
  out.width = picture.Width();
  out.height = picture.Height();
  if (picture.Empty()) return out;
  out.palette = BuildPalette(picture, std::size_t{1} << bits);
  out.indices.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  DitherToPalette(picture, out.palette, out);
  return out;
}

}  // namespace quillet
