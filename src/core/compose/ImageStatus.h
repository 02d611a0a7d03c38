#pragma once

#include <array>
#include <string>

namespace quillet {

class TSourceImage;

// The four texts of the status bar between the source and logo panes:
// source picture size, frame in picture coordinates, logo size, rendered
// picture size.
using ImageStatusTexts = std::array<std::string, 4>;

// Before anything has been displayed.
ImageStatusTexts InitialImageStatus();
// A folder, the root, or a logo without a picture.
ImageStatusTexts EmptyImageStatus();
// A displayed logo: its picture, the node's frame and size, the last render.
ImageStatusTexts LogoImageStatus(const TSourceImage& image);

}  // namespace quillet
