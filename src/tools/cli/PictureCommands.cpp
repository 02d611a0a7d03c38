// The picture commands: the selection space and frame of a logo, rendering a
// logo as the program does, resampling, re-encoding, mirror and rotate, and
// the check a picture passes before it may enter the logo directory.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/codecs/Codecs.h"
#include "core/codecs/Resample.h"
#include "core/compose/SourceImage.h"
#include "core/imageops/PictureWriter.h"
#include "core/imageops/Transform.h"
#include "core/platform/Text.h"
#include "tools/cli/Cli.h"

namespace quillet::cli {
namespace {

// --- Reading the command line -------------------------------------------

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::vector<std::int32_t> IntegerList(const std::string& option, std::string_view text,
                                      std::size_t count, char separator) {
  std::vector<std::string_view> parts = Split(text, separator);
  std::vector<std::int32_t> values;
  for (std::string_view part : parts) {
    std::optional<std::int32_t> value = ParseInt32(part);
    if (!value || parts.size() != count) break;
    values.push_back(*value);
  }
  if (values.size() != count)
    throw UsageError("--" + option + " needs " + std::to_string(count) + " integers, not \"" +
                     std::string(text) + "\"");
  return values;
}

std::string Required(const Args& args, const std::string& name) {
  std::optional<std::string> value = args.Option(name);
  if (!value) throw UsageError((name.size() == 1 ? "-" : "--") + name + " is required");
  return *value;
}

std::int32_t IntegerIn(const Args& args, const std::string& name, std::int32_t low,
                       std::int32_t high, std::int32_t fallback) {
  std::optional<std::string> text = args.Option(name);
  if (!text) return fallback;
  std::optional<std::int32_t> value = ParseInt32(*text);
  if (!value || *value < low || *value > high)
    throw UsageError("--" + name + " must be an integer from " + std::to_string(low) + " to " +
                     std::to_string(high));
  return *value;
}

// "WxH" with each side in [low, high].
Size SizeOption(const Args& args, const std::string& name, std::int32_t low, std::int32_t high) {
  std::string text = LowerAscii(Required(args, name));
  std::vector<std::int32_t> sides = IntegerList(name, text, 2, 'x');
  for (std::int32_t side : sides)
    if (side < low || side > high)
      throw UsageError("--" + name + " sides must be from " + std::to_string(low) + " to " +
                       std::to_string(high));
  return Size{sides[0], sides[1]};
}

FitKind FitOption(const Args& args) {
  std::string fit = LowerAscii(args.Option("fit").value_or("bigger"));
  if (fit == "width") return FitKind::Width;
  if (fit == "height") return FitKind::Height;
  if (fit == "smaller") return FitKind::Smaller;
  if (fit == "bigger") return FitKind::Bigger;
  throw UsageError("--fit must be width, height, smaller or bigger");
}

bool YesNoOption(const Args& args, const std::string& name, bool fallback) {
  std::optional<std::string> value = args.Option(name);
  if (!value) return fallback;
  if (*value == "yes") return true;
  if (*value == "no") return false;
  throw UsageError("--" + name + " must be yes or no");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "none" leaves the empty area white; RRGGBB fills it with that colour.
std::optional<Color> FillOption(const Args& args) {
  std::string text = args.Option("fill").value_or("none");
  if (text == "none") return std::nullopt;
  std::uint8_t channels[3] = {};
  bool valid = text.size() == 6;
  for (int i = 0; valid && i < 3; ++i) {
    int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
    valid = high >= 0 && low >= 0;
    channels[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  if (!valid) throw UsageError("--fill must be none or a colour RRGGBB");
  return MakeColor(channels[0], channels[1], channels[2]);
}

LogoFormat OutputFormat(const std::string& path) {
  std::optional<LogoFormat> format = WritableFormatOfFileName(path);
  if (!format)
    throw UsageError("the output file must end in .bmp, .jpg, .jpeg, .gif or .png: " + path);
  return *format;
}

EncoderSettings EncoderOptions(const Args& args) {
  return EncoderSettings{IntegerIn(args, "quality", 1, 100, 90), IntegerIn(args, "bits", 1, 8, 8)};
}

std::vector<std::string> Positionals(const Args& args, std::size_t count, const char* what) {
  if (args.Positional().size() != count) throw UsageError(std::string("expected ") + what);
  return args.Positional();
}

// A picture that the program would refuse to take in; its message has been
// printed already, and the command ends with status 1.
class PictureRefused : public std::exception {
 public:
  const char* what() const noexcept override { return "picture refused"; }
};

// Every command reads its picture as Open takes one into the logo directory:
// decoded by its extension and at least 16 × 16, or refused with the
// program's own message, so the command line never works on a picture the
// window would not show.
Bitmap LoadPicture(const std::string& path) {
  StderrPrompts prompts(std::cerr);
  Bitmap picture;
  try {
    picture = DecodePictureFile(path);
  } catch (const std::exception&) {
    prompts.Error(kLoadErrorText);
    throw PictureRefused();
  }
  if (picture.Width() < kMinimumPictureSide || picture.Height() < kMinimumPictureSide) {
    prompts.Error(kTooSmallText);
    throw PictureRefused();
  }
  return picture;
}

// Runs a command whose picture may be refused.
template <class Command>
int WithPicture(Command command) {
  try {
    return command();
  } catch (const PictureRefused&) {
    return 1;
  }
}

// --- Printing -------------------------------------------------------------

std::string Json(std::initializer_list<std::int32_t> values) {
  std::string text = "[";
  for (std::int32_t value : values)
    text += (text.size() > 1 ? "," : "") + std::to_string(value);
  return text + "]";
}

std::string Json(Size size) {
  return Json({size.width, size.height});
}
std::string JsonEdges(const Rect& rect) {
  return Json({rect.left, rect.top, rect.right, rect.bottom});
}
std::string JsonFrame(const Rect& frame) {
  return Json({frame.left, frame.top, frame.Width(), frame.Height()});
}

void PrintSize(const Bitmap& picture) {
  std::cout << "{\"width\":" << picture.Width() << ",\"height\":" << picture.Height() << "}\n";
}

}  // namespace

int RunFrame(const std::vector<std::string>& words) {
  Args args(words, {"picture", "logo", "fit"});
  Positionals(args, 0, "no arguments besides the options");
  Size picture = SizeOption(args, "picture", 1, 1'000'000);
  Size logo = SizeOption(args, "logo", kMinLogoSide, kMaxLogoSide);
  FitKind fit = FitOption(args);
  Size space = SelectionSpaceOf(picture, logo);
  Point offset = PictureOffsetIn(space, picture);
  Rect frame = FitRectOf(fit, picture, space);
  std::cout << "{\"space\":" << Json(space) << ",\"offset\":" << Json({offset.x, offset.y})
            << ",\"frame\":" << JsonFrame(frame) << ",\"fitrect\":" << JsonEdges(frame) << "}\n";
  return 0;
}

namespace {

int Render(const std::vector<std::string>& words) {
  Args args(words, {"logo", "fit", "keep-proportions", "frame", "fill", "o", "quality", "bits"});
  std::string input = Positionals(args, 1, "one picture file")[0];
  Size logoSize = SizeOption(args, "logo", kMinLogoSide, kMaxLogoSide);
  std::string output = Required(args, "o");
  LogoFormat format = OutputFormat(output);
  EncoderSettings settings = EncoderOptions(args);
  std::optional<Color> fill = FillOption(args);

  TLogoDirObject logo(NodeKind::Logo, std::string(BaseNameOf(input)));
  logo.logowidth = logoSize.width;
  logo.logoheight = logoSize.height;
  logo.fitkind = FitOption(args);
  logo.keepproportions = YesNoOption(args, "keep-proportions", true);
  std::optional<std::vector<std::int32_t>> frame;
  if (auto text = args.Option("frame")) {
    frame = IntegerList("frame", *text, 4, ',');
    if ((*frame)[2] <= 0 || (*frame)[3] <= 0)
      throw UsageError("--frame needs a positive width and height");
  }

  TSourceImage image(0, 0, false, logo, LoadPicture(input));
  image.ComputeSelectionSpace();
  if (frame)
    StoreFrame(
        logo, Rect{(*frame)[0], (*frame)[1], (*frame)[0] + (*frame)[2], (*frame)[1] + (*frame)[3]});
  else
    InitialFrame(logo, image);

  Bitmap target;
  RenderOutcome outcome = image.RenderLogo(target, fill.has_value(), fill.value_or(kWhite));
  Size written;
  if (outcome.covered && !image.LogoPicture.Empty()) {
    WritePicture(output, image.LogoPicture, format, settings);
    written = Size{image.LogoPicture.Width(), image.LogoPicture.Height()};
  } else {
    StderrPrompts(std::cerr).Warning(kNoPictureInFrameText);
  }
  std::cout << "{\"picture\":" << Json(image.PictureSize())
            << ",\"space\":" << Json(image.SpaceSize()) << ",\"frame\":" << JsonFrame(FrameOf(logo))
            << ",\"dest\":" << JsonEdges(outcome.dest) << ",\"logo\":" << Json(written) << "}\n";
  return 0;
}

int Resample(const std::vector<std::string>& words) {
  Args args(words, {"rect", "size", "o", "quality", "bits"});
  std::string input = Positionals(args, 1, "one picture file")[0];
  std::vector<std::int32_t> edges = IntegerList("rect", Required(args, "rect"), 4, ',');
  std::vector<std::int32_t> sides = IntegerList("size", Required(args, "size"), 2, ',');
  std::string output = Required(args, "o");
  LogoFormat format = OutputFormat(output);
  EncoderSettings settings = EncoderOptions(args);
  if (sides[0] <= 0 || sides[1] <= 0 ||
      static_cast<std::int64_t>(sides[0]) * sides[1] > kMaxPicturePixels)
    throw UsageError("--size must be positive and at most " + std::to_string(kMaxPicturePixels) +
                     " pixels");

  Bitmap picture = LoadPicture(input);
  Rect rect{edges[0], edges[1], edges[2], edges[3]};
  if (rect.left < 0 || rect.top < 0 || rect.right > picture.Width() ||
      rect.bottom > picture.Height() || rect.Width() <= 0 || rect.Height() <= 0)
    throw UsageError("--rect must be a non-empty rectangle inside the " +
                     std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()) +
                     " picture");
  Bitmap target(sides[0], sides[1]);
  ResampleRect(picture, rect, target, Rect{0, 0, sides[0], sides[1]});
  WritePicture(output, target, format, settings);
  PrintSize(target);
  return 0;
}

int Encode(const std::vector<std::string>& words) {
  Args args(words, {"quality", "bits"});
  std::vector<std::string> files = Positionals(args, 2, "an input and an output file");
  LogoFormat format = OutputFormat(files[1]);
  EncoderSettings settings = EncoderOptions(args);
  Bitmap picture = LoadPicture(files[0]);
  WritePicture(files[1], picture, format, settings);
  PrintSize(picture);
  return 0;
}

int Transform(const std::vector<std::string>& words) {
  Args args(words, {"mirror", "rotate"});
  std::vector<std::string> files = Positionals(args, 2, "an input and an output file");
  LogoFormat format = OutputFormat(files[1]);
  std::optional<std::string> mirror = args.Option("mirror"), rotate = args.Option("rotate");
  if (mirror.has_value() == rotate.has_value())
    throw UsageError("give exactly one of --mirror and --rotate");
  PictureTransform transform;
  if (mirror == "horizontal")
    transform = PictureTransform::MirrorHorizontal;
  else if (mirror == "vertical")
    transform = PictureTransform::MirrorVertical;
  else if (rotate == "90")
    transform = PictureTransform::Rotate90;
  else if (rotate == "180")
    transform = PictureTransform::Rotate180;
  else if (rotate == "270")
    transform = PictureTransform::Rotate270;
  else if (mirror)
    throw UsageError("--mirror must be horizontal or vertical");
  else
    throw UsageError("--rotate must be 90, 180 or 270");

  Bitmap result = TransformPicture(LoadPicture(files[0]), transform);
  WritePicture(files[1], result, format, kSourcePictureSettings);
  PrintSize(result);
  return 0;
}

}  // namespace

int RunRender(const std::vector<std::string>& words) {
  return WithPicture([&] { return Render(words); });
}

int RunResample(const std::vector<std::string>& words) {
  return WithPicture([&] { return Resample(words); });
}

int RunEncode(const std::vector<std::string>& words) {
  return WithPicture([&] { return Encode(words); });
}

int RunTransform(const std::vector<std::string>& words) {
  return WithPicture([&] { return Transform(words); });
}

int RunInfo(const std::vector<std::string>& words) {
  Args args(words, {});
  std::string file = Positionals(args, 1, "one picture file")[0];
  StderrPrompts prompts(std::cerr);
  std::optional<Size> size = TSourceImage::CheckPicture(file, prompts);
  if (!size) return 1;
  std::cout << "{\"width\":" << size->width << ",\"height\":" << size->height << "}\n";
  return 0;
}

}  // namespace quillet::cli
