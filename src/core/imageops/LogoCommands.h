#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/codecs/Bitmap.h"
#include "core/codecs/Codecs.h"
#include "core/compose/SourceImage.h"
#include "core/imageops/Transform.h"
#include "core/logodir/LogoEditing.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"
#include "core/settings/Options.h"

namespace quillet {

// Writing logos and source pictures to files: the upload copy, Save, and the
// picture commands convert, mirror and rotate, which follow the conventions
// of LogoEditing.h (LogoDirContext in, EditResult out).

inline constexpr std::string_view kSaveFailedText =
    "Error occurred while trying to save image. Check if you have enough space on you disk and "
    "write permission.";
inline constexpr std::string_view kConvertKeepQuestion =
    "Do you want to keep source file after image conversion?";
// Mirror and rotate ask the same question.
inline constexpr std::string_view kTransformKeepQuestion =
    "Do you want to keep source file after mirrorring image?";
inline constexpr std::string_view kTargetNameCaption = "Target File Name";
inline constexpr std::string_view kTargetNamePrompt = "Please enter target file name: ";
inline constexpr std::string_view kTargetNameTakenText =
    "Node with the specified name already exists. Please enter another name.";
inline constexpr std::string_view kTargetNameUnusableText =
    "The specified name cannot be used as a file name. Please enter another name.";
inline constexpr std::string_view kDeleteSourceFailedText =
    "Could not delete logo source file. Check if you have permissions to write to folder where "
    "the application is installed.";

// Writes the rendered logo to the program folder's "Temp" under the node's
// name, in the format of its extension (JPEG and GIF with the options'
// quality and depth), replacing an older copy. Returns the path, or empty
// when nothing was written (no such folder, an extension without a writer,
// a write error).
std::string WriteLogoFile(const LogoNode& node, const Bitmap& logoPicture,
                          const std::string& programFolder, const Options& options);

// Save, before its dialog: true when `selected` is a logo whose frame covers
// part of its picture; otherwise false, with the no-picture warning for a
// logo (also when its picture could not be shown, `image` null).
bool LogoCanBeSaved(const LogoNode* selected, const TSourceImage* image, Prompts& prompts);

// Save writes what the chosen name says. A name whose extension names a
// format (".bmp", ".jpg", ".jpeg", ".gif", ".png", any letter case) is written
// in that format as it is; any other name gets the format of the dialog's
// chosen filter with that format's extension added ("copy" with the PNG
// filter is "copy.png", "copy.tif" is "copy.tif.png"), and where the filter
// names no single format (the "All" filter) the logo's own format is taken.
struct SaveTarget {
  std::string path;
  LogoFormat format = LogoFormat::Bmp;
  bool operator==(const SaveTarget&) const = default;
};
SaveTarget SaveTargetFor(std::string_view chosenPath, std::optional<LogoFormat> filterFormat,
                         const LogoNode& node);

// The format of a save dialog filter by its patterns ("*.png", "*.jpg",
// "*.jpeg", ..., separated by ";"): the one format they all name, or nothing
// when they name several (the "All" filter) or none.
std::optional<LogoFormat> SaveFilterFormat(std::string_view patterns);

// Save, after its dialog: writes the rendered logo to SaveTargetFor(...)
// with the options' JPEG quality and GIF depth, asking first when that file
// exists. Returns the folder of the written file (the new LastSaveFolder), or
// nothing when the user said No or the write failed (the save error is
// shown; an older file stays as it was).
std::optional<std::string> SaveLogoAs(const LogoNode& node, const Bitmap& logoPicture,
                                      const std::string& chosenPath,
                                      std::optional<LogoFormat> filterFormat,
                                      const Options& options, Prompts& prompts,
                                      const HeavyWorkRunner& runHeavyWork = {});

// Writes `picture` whole as FolderPath(folder) + base + the format's
// extension, JPEG at quality 100 and GIF with 8 bits (grabs, scans and
// conversions). Returns the path; throws QuilletError with a text for the
// program-wide error report when it cannot, leaving any older file as it was.
std::string WritePictureAs(const LogoNode& folder, std::string_view base, const Bitmap& picture,
                           LogoFormat format, const std::string& programFolder);

// As WritePictureAs, for the picture moved by `transform`.
std::string WriteTransformed(const LogoNode& folder, std::string_view base, const Bitmap& source,
                             PictureTransform transform, LogoFormat format,
                             const std::string& programFolder);

// The shared steps of convert, mirror and rotate: keep the source logo and
// add the result beside it, or replace the source by the result.
struct ReplaceOrKeepSteps {
  RetainSource retain = RetainSource::Ask;
  bool askTargetName = false;
  std::string_view question;  // asked when `retain` is Ask
  // Writes the result for `source` as `name` + its extension in the source's
  // folder and returns the path written; throws when it cannot.
  std::function<std::string(const LogoNode& source, const std::string& name)> write;
};

// Runs the steps on the selected logo (nothing happens for any other node).
// Cancel on the question or the name box changes nothing; a failed write is
// shown by the program-wide error report and changes nothing. Replacing never
// writes over another logo's file: a name held by another node is refused in
// the name box, and without the box the next free name is taken. The source
// file is deleted after the result is written, unless the result took its
// place; when that deletion fails, the result stays on disk and the tree is
// unchanged. Selects the new or replaced node.
EditResult ReplaceOrKeep(LogoDirContext& context, const ReplaceOrKeepSteps& steps);

// The whole source picture of the selected logo rewritten in `format`.
// `sourcePicture` is the displayed picture; null reads it from the file.
EditResult ConvertLogo(LogoDirContext& context, const Options& options, const Bitmap* sourcePicture,
                       LogoFormat format);

enum class MirrorDirection { Horizontal, Vertical };

// The source picture mirrored or rotated (90, 180 or 270 degrees clockwise),
// kept in its format (".jpeg" written as ".jpg").
EditResult MirrorLogo(LogoDirContext& context, const Options& options, const Bitmap* sourcePicture,
                      MirrorDirection direction);
EditResult RotateLogo(LogoDirContext& context, const Options& options, const Bitmap* sourcePicture,
                      int degrees);

}  // namespace quillet
