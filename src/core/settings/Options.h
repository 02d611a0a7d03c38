#pragma once

#include <cstdint>
#include <string>

#include "core/platform/Prompts.h"
#include "core/service/SystemProxy.h"

namespace quillet {

// Where requests take their proxy from: the system's settings, the host and
// port typed in the options, or no proxy at all. Stored as "ie", "manual" and
// "noproxy".
enum class ProxySource : std::int32_t { System = 0, Manual = 1, NoProxy = 2 };

// Whether an operation that writes a new file keeps the source file.
enum class RetainSource : std::int32_t { Ask = 0, Retain = 1, Delete = 2 };

// The format of a scanned or grabbed picture.
enum class AcquiredFormat : std::int32_t { Bmp = 0, Jpg = 1, Gif = 2, Png = 3, Ask = 4 };

// The user's settings, persisted in "options.xml". Each field bears the name
// of the element that stores it; the order is the order of the file. The
// options dialog shows and edits this record; every other part reads it and,
// when it changes a field, saves the file at once.
struct Options {
  std::string login;
  std::string password;
  ProxySource proxysource = ProxySource::System;
  std::string proxyhost;
  std::string proxyport;
  bool proxyauthentication = false;
  std::string proxylogin;
  std::string proxypassword;
  bool showlogochange = false;
  bool fillemptyarea = false;
  std::int32_t emptyareacolor = 16777215;  // 0x00BBGGRR, white
  std::int32_t jpegquality = 90;           // 10 to 100 in steps of 10
  bool showjpegdialog = true;
  std::int32_t gifbitdepth = 8;  // 3 to 8
  bool showgifdialog = true;
  RetainSource convertretainsource = RetainSource::Delete;
  bool convertasktargetname = false;
  RetainSource mirrorretainsource = RetainSource::Delete;
  bool mirrorasktargetname = false;
  RetainSource rotateretainsource = RetainSource::Delete;
  bool rotateasktargetname = false;
  AcquiredFormat importedfileformat = AcquiredFormat::Jpg;
  bool importasktargetname = false;
  AcquiredFormat grabbedfileformat = AcquiredFormat::Jpg;
  bool grabasktargetname = false;
  bool enableaccesshint = true;
  bool checknewversion = true;

  bool operator==(const Options&) const = default;
};

inline constexpr const char* kOptionsCorruptMessage = "Options file is corrupt.";
inline constexpr const char* kOptionsSaveFailedMessage = "Error saving application options";

// Every option back to its default.
void SetDefaultOptions(Options& options);

// The defaults, then "options.xml" from the program folder when it exists
// (a damaged file is reported once and the options read before the damage
// stay), then the derived state: with the system proxy source, the host and
// port are replaced by what `systemProxy` returns (an empty function reads as
// no system proxy).
Options LoadOptions(const std::string& programFolder, Prompts& prompts,
                    const SystemProxyReader& systemProxy);

// Writes every option to "options.xml", replacing the file whole. On failure
// shows "Error saving application options", leaves the old file as it was
// and returns false.
bool SaveOptions(const Options& options, const std::string& programFolder, Prompts& prompts);

// With the system proxy source, the host and port become the system's (both
// empty when it has none); with another source nothing changes. Done after
// every load, and when the user picks the system source in the dialog.
void ApplySystemProxy(Options& options, const SystemProxyReader& systemProxy);

// Exactly the text SaveOptions writes.
std::string OptionsDocumentText(const Options& options);

// What the JPEG quality control makes of a position: held to 10..100 and
// rounded to the nearest multiple of 10, halves upward.
std::int32_t SnapJpegQuality(std::int32_t position);
// What the GIF depth control makes of a position: held to 3..8.
std::int32_t ClampGifBitDepth(std::int32_t position);

// Which proxy controls of the options dialog take input.
struct ProxyFieldsEnabled {
  bool hostPortAndAuthentication = false;
  bool proxyCredentials = false;
  bool operator==(const ProxyFieldsEnabled&) const = default;
};
ProxyFieldsEnabled ProxyFieldsEnabledFor(const Options& options);

// The fill colour can be chosen only while filling is on.
inline bool ColourButtonEnabled(const Options& options) {
  return options.fillemptyarea;
}

// Text of the proxy source as stored ("ie", "manual", "noproxy").
const char* ProxySourceText(ProxySource source);

}  // namespace quillet
