#include "core/acquire/SaneDevice.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>

#include "core/codecs/Codecs.h"

namespace quillet {

namespace {

std::string TextOf(SANE_String_Const text) {
  return text != nullptr ? std::string(text) : std::string();
}

int WordToInt(const SANE_Option_Descriptor& descriptor, SANE_Word value) {
  if (descriptor.type == SANE_TYPE_FIXED) return static_cast<int>(std::lround(SANE_UNFIX(value)));
  return value;
}

SANE_Word IntToWord(const SANE_Option_Descriptor& descriptor, int value) {
  if (descriptor.type == SANE_TYPE_FIXED) return SANE_FIX(static_cast<double>(value));
  return value;
}

bool Settable(const SANE_Option_Descriptor& descriptor) {
  return SANE_OPTION_IS_ACTIVE(descriptor.cap) && SANE_OPTION_IS_SETTABLE(descriptor.cap);
}

// A single word option: one value, not an array.
bool SingleWord(const SANE_Option_Descriptor& descriptor) {
  return (descriptor.type == SANE_TYPE_INT || descriptor.type == SANE_TYPE_FIXED ||
          descriptor.type == SANE_TYPE_BOOL) &&
         descriptor.size == static_cast<SANE_Int>(sizeof(SANE_Word));
}

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The scan's buffer: big enough to keep the calls few, small enough that a
// cancel is seen soon.
constexpr std::size_t kReadBuffer = 64 * 1024;

}  // namespace

std::vector<SaneDeviceInfo> ListSaneDevices(const SaneEntryPoints& api) {
  std::vector<SaneDeviceInfo> devices;
  const SANE_Device** list = nullptr;
  if (api.get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || list == nullptr) return devices;
  for (const SANE_Device** device = list; *device != nullptr; ++device) {
    if ((*device)->name == nullptr || *(*device)->name == '\0') continue;
    devices.push_back(SaneDeviceInfo{TextOf((*device)->name), TextOf((*device)->vendor),
                                     TextOf((*device)->model), TextOf((*device)->type)});
  }
  return devices;
}

SaneDevice::SaneDevice(const SaneLibrary& library, SANE_Handle handle, SaneDeviceInfo info)
    : library_(library), api_(library.Api()), handle_(handle), info_(std::move(info)) {}

SaneDevice::~SaneDevice() {
  api_.close(handle_);
}

std::optional<SaneDevice::Option> SaneDevice::FindOption(std::string_view name) const {
  SANE_Int count = 0;
  if (api_.control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
    return std::nullopt;
  for (SANE_Int index = 1; index < count; ++index) {
    const SANE_Option_Descriptor* descriptor = api_.get_option_descriptor(handle_, index);
    if (descriptor != nullptr && descriptor->name != nullptr && descriptor->name == name)
      return Option{index, descriptor};
  }
  return std::nullopt;
}

std::optional<SANE_Word> SaneDevice::GetWord(const Option& option) const {
  if (!SingleWord(*option.descriptor) || !SANE_OPTION_IS_ACTIVE(option.descriptor->cap))
    return std::nullopt;
  SANE_Word value = 0;
  if (api_.control_option(handle_, option.index, SANE_ACTION_GET_VALUE, &value, nullptr) !=
      SANE_STATUS_GOOD)
    return std::nullopt;
  return value;
}

bool SaneDevice::SetWord(const Option& option, SANE_Word value) {
  if (!SingleWord(*option.descriptor) || !Settable(*option.descriptor)) return false;
  SANE_Int info = 0;
  return api_.control_option(handle_, option.index, SANE_ACTION_SET_VALUE, &value, &info) ==
         SANE_STATUS_GOOD;
}

std::optional<SaneResolution> SaneDevice::Resolution() const {
  const auto option = FindOption(SANE_NAME_SCAN_RESOLUTION);
  if (!option) return std::nullopt;
  const SANE_Option_Descriptor& d = *option->descriptor;
  if (d.type != SANE_TYPE_INT && d.type != SANE_TYPE_FIXED) return std::nullopt;
  const auto value = GetWord(*option);
  if (!value) return std::nullopt;
  SaneResolution resolution;
  resolution.current = WordToInt(d, *value);
  if (d.constraint_type == SANE_CONSTRAINT_WORD_LIST && d.constraint.word_list != nullptr) {
    const SANE_Word count = d.constraint.word_list[0];
    for (SANE_Word i = 1; i <= count; ++i)
      resolution.choices.push_back(WordToInt(d, d.constraint.word_list[i]));
    if (!resolution.choices.empty()) {
      resolution.min = *std::min_element(resolution.choices.begin(), resolution.choices.end());
      resolution.max = *std::max_element(resolution.choices.begin(), resolution.choices.end());
    }
  } else if (d.constraint_type == SANE_CONSTRAINT_RANGE && d.constraint.range != nullptr) {
    resolution.min = WordToInt(d, d.constraint.range->min);
    resolution.max = WordToInt(d, d.constraint.range->max);
    resolution.step = std::max(1, WordToInt(d, d.constraint.range->quant));
  } else {
    resolution.min = resolution.max = resolution.current;
  }
  return resolution;
}

bool SaneDevice::SetResolution(int dotsPerInch) {
  const auto option = FindOption(SANE_NAME_SCAN_RESOLUTION);
  if (!option) return false;
  return SetWord(*option, IntToWord(*option->descriptor, dotsPerInch));
}

std::vector<std::string> SaneDevice::Modes() const {
  std::vector<std::string> modes;
  const auto option = FindOption(SANE_NAME_SCAN_MODE);
  if (!option || !SANE_OPTION_IS_ACTIVE(option->descriptor->cap)) return modes;
  const SANE_Option_Descriptor& d = *option->descriptor;
  if (d.type != SANE_TYPE_STRING || d.constraint_type != SANE_CONSTRAINT_STRING_LIST ||
      d.constraint.string_list == nullptr)
    return modes;
  for (const SANE_String_Const* mode = d.constraint.string_list; *mode != nullptr; ++mode)
    modes.emplace_back(*mode);
  return modes;
}

std::string SaneDevice::Mode() const {
  const auto option = FindOption(SANE_NAME_SCAN_MODE);
  if (!option || option->descriptor->type != SANE_TYPE_STRING ||
      !SANE_OPTION_IS_ACTIVE(option->descriptor->cap) || option->descriptor->size <= 0)
    return {};
  std::vector<char> value(static_cast<std::size_t>(option->descriptor->size) + 1, '\0');
  if (api_.control_option(handle_, option->index, SANE_ACTION_GET_VALUE, value.data(), nullptr) !=
      SANE_STATUS_GOOD)
    return {};
  return std::string(value.data());
}

bool SaneDevice::SetMode(std::string_view mode) {
  return SetOption(SANE_NAME_SCAN_MODE, mode);
}

bool SaneDevice::SetOption(std::string_view name, std::string_view value) {
  const auto option = FindOption(name);
  if (!option || !Settable(*option->descriptor)) return false;
  const SANE_Option_Descriptor& d = *option->descriptor;
  switch (d.type) {
    case SANE_TYPE_BOOL:
      if (value == "yes" || value == "true") return SetWord(*option, SANE_TRUE);
      if (value == "no" || value == "false") return SetWord(*option, SANE_FALSE);
      return false;
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
      const auto number = ParseNumber(value);
      if (!number) return false;
      if (d.type == SANE_TYPE_INT) {
        if (*number != std::floor(*number) || std::abs(*number) > 2147483647.0) return false;
        return SetWord(*option, static_cast<SANE_Word>(*number));
      }
      if (std::abs(*number) > 32767.0) return false;
      return SetWord(*option, SANE_FIX(*number));
    }
    case SANE_TYPE_STRING: {
      if (d.size <= 0 || value.size() >= static_cast<std::size_t>(d.size) ||
          value.find('\0') != std::string_view::npos)
        return false;
      std::vector<char> buffer(static_cast<std::size_t>(d.size), '\0');
      std::memcpy(buffer.data(), value.data(), value.size());
      SANE_Int info = 0;
      return api_.control_option(handle_, option->index, SANE_ACTION_SET_VALUE, buffer.data(),
                                 &info) == SANE_STATUS_GOOD;
    }
    default:
      return false;
  }
}

std::optional<SANE_Parameters> SaneDevice::Parameters() const {
  SANE_Parameters parameters{};
  if (api_.get_parameters(handle_, &parameters) != SANE_STATUS_GOOD) return std::nullopt;
  return parameters;
}

SaneScanResult SaneDevice::Failure(std::string problem) {
  api_.cancel(handle_);
  SaneScanResult result;
  result.status = SaneScanStatus::Failed;
  result.problem = std::move(problem);
  return result;
}

SaneScanResult SaneDevice::Scan(bool preview, SaneScanProgress* progress) {
  cancel_ = false;
  // A preview is a scan with the preview option on, or at a low resolution;
  // the user's settings come back afterwards.
  const auto previewOption = FindOption(SANE_NAME_PREVIEW);
  const bool usePreviewOption = preview && previewOption &&
                                previewOption->descriptor->type == SANE_TYPE_BOOL &&
                                Settable(*previewOption->descriptor);
  std::optional<int> userResolution;
  if (usePreviewOption) {
    SetWord(*previewOption, SANE_TRUE);
  } else if (preview) {
    if (const auto resolution = Resolution()) {
      int low = std::clamp(kPreviewDotsPerInch, resolution->min, resolution->max);
      if (!resolution->choices.empty()) {
        low = resolution->choices.front();
        for (int choice : resolution->choices)
          if (std::abs(choice - kPreviewDotsPerInch) < std::abs(low - kPreviewDotsPerInch))
            low = choice;
      }
      if (low < resolution->current && SetResolution(low)) userResolution = resolution->current;
    }
  }

  SaneScanResult result = ScanFrames(progress);

  if (usePreviewOption) {
    if (const auto option = FindOption(SANE_NAME_PREVIEW)) SetWord(*option, SANE_FALSE);
  }
  if (userResolution) SetResolution(*userResolution);
  return result;
}

SaneScanResult SaneDevice::ScanFrames(SaneScanProgress* progress) {
  const auto resolution = Resolution();
  SaneFrameAssembler assembler(kMaxPicturePixels);
  std::vector<std::uint8_t> buffer(kReadBuffer);
  std::string problem;
  SaneScanResult cancelled;
  cancelled.status = SaneScanStatus::Cancelled;

  for (;;) {
    if (cancel_) {
      api_.cancel(handle_);
      return cancelled;
    }
    SANE_Status status = api_.start(handle_);
    if (status == SANE_STATUS_CANCELLED) {
      api_.cancel(handle_);
      return cancelled;
    }
    if (status != SANE_STATUS_GOOD)
      return Failure("The scanner could not start: " + library_.StatusText(status) + ".");
    SANE_Parameters parameters{};
    status = api_.get_parameters(handle_, &parameters);
    if (status != SANE_STATUS_GOOD)
      return Failure("The scanner did not describe its picture: " + library_.StatusText(status) +
                     ".");
    if (!assembler.BeginFrame(parameters, problem))
      return Failure("The scan failed: " + problem + ".");
    if (progress != nullptr) {
      progress->expected = assembler.ExpectedBytes();
      progress->received = 0;
    }
    for (;;) {
      if (cancel_) {
        api_.cancel(handle_);
        return cancelled;
      }
      SANE_Int length = 0;
      status = api_.read(handle_, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
      if (status == SANE_STATUS_EOF) break;
      if (status == SANE_STATUS_CANCELLED) {
        api_.cancel(handle_);
        return cancelled;
      }
      if (status != SANE_STATUS_GOOD)
        return Failure("The scan failed: " + library_.StatusText(status) + ".");
      if (length < 0 || static_cast<std::size_t>(length) > buffer.size())
        return Failure("The scan failed: the scanner sent more than it was asked for.");
      if (length == 0) {
        std::this_thread::yield();
        continue;
      }
      if (!assembler.Append(buffer.data(), static_cast<std::size_t>(length), problem))
        return Failure("The scan failed: " + problem + ".");
      if (progress != nullptr) progress->received = assembler.ReceivedBytes();
    }
    if (!assembler.EndFrame(problem)) return Failure("The scan failed: " + problem + ".");
    if (assembler.LastFrame()) break;
  }
  // The standard asks for a cancel once the last frame is in.
  api_.cancel(handle_);

  SaneScanResult result;
  if (!assembler.Finish(result.picture, problem)) {
    result.status = SaneScanStatus::Failed;
    result.problem = "The scan failed: " + problem + ".";
    return result;
  }
  result.picture.dotsPerInch = resolution ? resolution->current : 0;
  result.status = SaneScanStatus::Done;
  return result;
}

}  // namespace quillet
