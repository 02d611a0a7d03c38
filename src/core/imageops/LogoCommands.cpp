#include "core/imageops/LogoCommands.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/app/ErrorReport.h"
#include "core/compose/SelectionGeometry.h"
#include "core/imageops/PictureWriter.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"

namespace quillet {
namespace {

std::string FileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// A source file that is already gone counts as deleted.
bool DeleteSourceFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

EncoderSettings LogoSettings(const Options& options) {
  return EncoderSettings{options.jpegquality, options.gifbitdepth};
}

// True when no child of `folder` but `source` has `name` as its base name:
// the result may take the source's place without touching another logo.
bool NameIsFreeBesides(const LogoNode& folder, std::string_view name, const LogoNode& source) {
  std::string wanted = UpperAscii(name);
  for (int i = 0; i < folder.ChildCount(); ++i) {
    const LogoNode* child = folder.ChildAt(i);
    if (child != &source && UpperAscii(BaseNameOf(child->Text())) == wanted) return false;
  }
  return true;
}

// The name box of ReplaceOrKeep, asked until the name is usable. `replaced`
// is the source when the result takes its place, null when both stay.
std::optional<std::string> AskTargetName(Prompts& prompts, const LogoNode& folder, std::string name,
                                         const LogoNode* replaced) {
  for (;;) {
    auto typed = prompts.Input(kTargetNameCaption, kTargetNamePrompt, name);
    if (!typed) return std::nullopt;
    name = *typed;
    bool free = replaced ? NameIsFreeBesides(folder, name, *replaced) : NameIsFree(folder, name);
    if (!free) {
      prompts.Warning(kTargetNameTakenText);
    } else if (!IsSafeNodeName(name)) {
      prompts.Warning(kTargetNameUnusableText);
    } else {
      return name;
    }
  }
}

// The name the result gets before any name box: a new name when keeping;
// when replacing, the source's base name unless another logo holds it.
std::string InitialTargetName(const LogoNode& source, bool keep) {
  const LogoNode& folder = *source.Parent();
  std::string base(BaseNameOf(source.Text()));
  if (!keep && NameIsFreeBesides(folder, base, source)) return base;
  return UniqueLogoName(folder, base);
}

LogoNode& KeepResult(LogoDirContext& context, LogoNode& source, const std::string& newName) {
  TLogoDirObject data(source.Data());
  data.nodename = newName;
  ResetFrame(data);
  return context.tree.Insert(*source.Parent(), source.Row() + 1, std::move(data));
}

// The result is on disk; the source file goes unless the result took its
// place. False (with the message) when it cannot be deleted.
bool ReplaceSource(LogoDirContext& context, LogoNode& source, const std::string& newName) {
  if (newName != source.Text() && !DeleteSourceFile(LogoFilePath(source, context.programFolder))) {
    context.prompts.Error(kDeleteSourceFailedText);
    return false;
  }
  ResetFrame(source.Data());
  context.tree.Rename(source, newName);
  return true;
}

// The displayed picture, or the file's when the display has none.
const Bitmap& SourcePictureOf(const Bitmap* displayed, const LogoNode& source,
                              const std::string& programFolder, Bitmap& decoded) {
  if (displayed != nullptr) return *displayed;
  try {
    decoded = DecodePictureFile(LogoFilePath(source, programFolder));
  } catch (const PictureError&) {
    throw QuilletError(std::string(kLoadErrorText));
  }
  return decoded;
}

RetainSource TransformRetain(const Options& options, bool mirror) {
  return mirror ? options.mirrorretainsource : options.rotateretainsource;
}

EditResult TransformLogo(LogoDirContext& context, const Options& options,
                         const Bitmap* sourcePicture, PictureTransform transform, bool mirror) {
  ReplaceOrKeepSteps steps;
  steps.retain = TransformRetain(options, mirror);
  steps.askTargetName = mirror ? options.mirrorasktargetname : options.rotateasktargetname;
  steps.question = kTransformKeepQuestion;
  steps.write = [&](const LogoNode& source, const std::string& name) {
    Bitmap decoded;
    const Bitmap& picture = SourcePictureOf(sourcePicture, source, context.programFolder, decoded);
    return WriteTransformed(*source.Parent(), name, picture, transform,
                            LogoFormatOfFileName(source.Text()), context.programFolder);
  };
  return ReplaceOrKeep(context, steps);
}

}  // namespace

std::string WriteLogoFile(const LogoNode& node, const Bitmap& logoPicture,
                          const std::string& programFolder, const Options& options) {
  std::string folder = programFolder + "Temp";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !IsSafeNodeName(node.Text())) return {};
  auto format = WritableFormatOfFileName(node.Text());
  if (!format) return {};
  std::string path = folder + "/" + node.Text();
  try {
    WritePicture(path, logoPicture, *format, LogoSettings(options));
  } catch (const std::exception&) {
    return {};
  }
  return path;
}

bool LogoCanBeSaved(const LogoNode* selected, const TSourceImage* image, Prompts& prompts) {
  if (selected == nullptr || !selected->IsLogo()) return false;
  // A part of the picture so thin that it renders to no pixel is no picture
  // either: there would be nothing to write.
  if (image != nullptr && image->FrameOverlapsPicture() && !image->LogoPicture.Empty()) return true;
  prompts.Warning(kNoPictureInFrameText);
  return false;
}

SaveTarget SaveTargetFor(std::string_view chosenPath, std::optional<LogoFormat> filterFormat,
                         const LogoNode& node) {
  const std::string_view fileName = chosenPath.substr(chosenPath.rfind('/') + 1);
  if (std::optional<LogoFormat> named = WritableFormatOfFileName(fileName))
    return SaveTarget{std::string(chosenPath), *named};
  const LogoFormat format = filterFormat.value_or(LogoFormatOfFileName(node.Text()));
  return SaveTarget{std::string(chosenPath) + std::string(ExtensionOfFormat(format)), format};
}

std::optional<LogoFormat> SaveFilterFormat(std::string_view patterns) {
  std::optional<LogoFormat> found;
  while (!patterns.empty()) {
    const std::size_t semicolon = patterns.find(';');
    const std::string_view pattern = patterns.substr(0, semicolon);
    patterns.remove_prefix(semicolon == std::string_view::npos ? patterns.size() : semicolon + 1);
    if (pattern.empty()) continue;
    // Only "*.ext" names a format; "*" or "*.*" would take any file.
    std::optional<LogoFormat> format;
    if (pattern.substr(0, 2) == "*." && pattern.find_first_of("*?", 1) == std::string_view::npos)
      format = WritableFormatOfFileName(pattern.substr(1));
    if (!format || (found && *found != *format)) return std::nullopt;
    found = format;
  }
  return found;
}

std::optional<std::string> SaveLogoAs(const LogoNode& node, const Bitmap& logoPicture,
                                      const std::string& chosenPath,
                                      std::optional<LogoFormat> filterFormat,
                                      const Options& options, Prompts& prompts,
                                      const HeavyWorkRunner& runHeavyWork) {
  const SaveTarget target = SaveTargetFor(chosenPath, filterFormat, node);
  if (PathExists(target.path) &&
      !prompts.ConfirmYesNo("The file " + target.path +
                            " already exists. Do You want to overwrite it?"))
    return std::nullopt;
  try {
    RunHeavyWork(runHeavyWork, [&] {
      WritePicture(target.path, logoPicture, target.format, LogoSettings(options));
    });
  } catch (const std::exception&) {
    prompts.Error(kSaveFailedText);
    return std::nullopt;
  }
  return std::filesystem::path(target.path).parent_path().string();
}

std::string WritePictureAs(const LogoNode& folder, std::string_view base, const Bitmap& picture,
                           LogoFormat format, const std::string& programFolder) {
  std::string name = std::string(base) + std::string(ExtensionOfFormat(format));
  if (!IsSafeNodeName(base))
    throw QuilletError("The name \"" + name + "\" cannot be used as a file name");
  std::string path = FolderPath(folder, programFolder) + name;
  try {
    WritePicture(path, picture, format, kSourcePictureSettings);
  } catch (const std::exception& error) {
    throw QuilletError("Unable to write the picture file " + path + ": " + error.what());
  }
  return path;
}

std::string WriteTransformed(const LogoNode& folder, std::string_view base, const Bitmap& source,
                             PictureTransform transform, LogoFormat format,
                             const std::string& programFolder) {
  return WritePictureAs(folder, base, TransformPicture(source, transform), format, programFolder);
}

EditResult ReplaceOrKeep(LogoDirContext& context, const ReplaceOrKeepSteps& steps) {
  // With nothing selected the tree's first node, the root, is taken: no logo.
  LogoNode* source = context.selected;
  if (source == nullptr || !source->IsLogo()) return {};
  bool keep = steps.retain == RetainSource::Retain;
  if (steps.retain == RetainSource::Ask) {
    Answer answer = context.prompts.ConfirmYesNoCancel(steps.question);
    if (answer == Answer::Cancel) return {};
    keep = answer == Answer::Yes;
  }
  std::string name = InitialTargetName(*source, keep);
  if (steps.askTargetName) {
    auto typed = AskTargetName(context.prompts, *source->Parent(), name, keep ? nullptr : source);
    if (!typed) return {};
    name = *typed;
  }
  std::string newName;
  try {
    RunHeavyWork(context.runHeavyWork, [&] { newName = FileNameOf(steps.write(*source, name)); });
  } catch (const std::exception& error) {
    context.prompts.ReportError(error.what());
    return {};
  }
  if (keep) return {true, &KeepResult(context, *source, newName)};
  if (!ReplaceSource(context, *source, newName)) return {};
  return {true, source};
}

EditResult ConvertLogo(LogoDirContext& context, const Options& options, const Bitmap* sourcePicture,
                       LogoFormat format) {
  ReplaceOrKeepSteps steps;
  steps.retain = options.convertretainsource;
  steps.askTargetName = options.convertasktargetname;
  steps.question = kConvertKeepQuestion;
  steps.write = [&](const LogoNode& source, const std::string& name) {
    Bitmap decoded;
    const Bitmap& picture = SourcePictureOf(sourcePicture, source, context.programFolder, decoded);
    return WritePictureAs(*source.Parent(), name, picture, format, context.programFolder);
  };
  return ReplaceOrKeep(context, steps);
}

EditResult MirrorLogo(LogoDirContext& context, const Options& options, const Bitmap* sourcePicture,
                      MirrorDirection direction) {
  PictureTransform transform = direction == MirrorDirection::Horizontal
                                   ? PictureTransform::MirrorHorizontal
                                   : PictureTransform::MirrorVertical;
  return TransformLogo(context, options, sourcePicture, transform, true);
}

EditResult RotateLogo(LogoDirContext& context, const Options& options, const Bitmap* sourcePicture,
                      int degrees) {
  PictureTransform transform;
  switch (degrees) {
    case 90:
      transform = PictureTransform::Rotate90;
      break;
    case 180:
      transform = PictureTransform::Rotate180;
      break;
    case 270:
      transform = PictureTransform::Rotate270;
      break;
    default:
      throw std::invalid_argument("rotation by " + std::to_string(degrees) + " degrees");
  }
  return TransformLogo(context, options, sourcePicture, transform, false);
}

}  // namespace quillet
