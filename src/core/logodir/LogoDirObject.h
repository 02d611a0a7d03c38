#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace quillet {

enum class NodeKind : std::uint8_t { Root = 0, Folder = 1, Logo = 2 };

// The sides a logo may have, in pixels: typed into the panel, taken from a
// phone model of the catalogue, read from the logo directory file or given on
// the command line. Today's phones have screens of more than 1000 × 2000.
inline constexpr std::int32_t kMinLogoSide = 16;
inline constexpr std::int32_t kMaxLogoSide = 4096;

// A side held to the range above.
inline constexpr std::int32_t ClampToLogoSide(std::int32_t pixels) {
  return std::clamp(pixels, kMinLogoSide, kMaxLogoSide);
}

// How the selection frame is fitted to the logo's proportions.
enum class FitKind : std::uint8_t { Width = 0, Height = 1, Smaller = 2, Bigger = 3 };

// The data of one node of the logo directory tree. Each field bears the name
// of the attribute that stores it in "logodirectory.xml".
class TLogoDirObject {
 public:
  TLogoDirObject() = default;
  TLogoDirObject(NodeKind kind, std::string name) : nodekind(kind), nodename(std::move(name)) {}
  TLogoDirObject(const TLogoDirObject&) = default;
  TLogoDirObject& operator=(const TLogoDirObject&) = default;
  bool operator==(const TLogoDirObject&) const = default;

  // No frame has been chosen while all four frame fields are -1.
  bool HasFrame() const {
    return !(frameleft == -1 && frametop == -1 && framewidth == -1 && frameheight == -1);
  }

  NodeKind nodekind = NodeKind::Logo;
  std::string nodename = "Undefined";
  std::int32_t frameleft = -1;
  std::int32_t frametop = -1;
  std::int32_t framewidth = -1;
  std::int32_t frameheight = -1;
  std::int32_t phonemakeid = -1;
  std::int32_t phonemodelid = -1;
  std::int32_t logowidth = 128;
  std::int32_t logoheight = 128;
  FitKind fitkind = FitKind::Bigger;
  bool keepproportions = true;
  std::string uploadurl;
};

}  // namespace quillet
