#include "core/automation/HandOffPicture.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/platform/Text.h"

namespace quillet {
namespace {

constexpr std::size_t kLongestBaseName = 100;
// More pictures of one name than this waiting in "Temp" is not a real case.
constexpr int kMostSameNames = 1000;

// Nothing when a "%" is not followed by two hexadecimal digits.
std::optional<std::string> PercentDecodedStrict(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigitValue(text[i + 1]);
    const int low = HexDigitValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  // One text helper already refuses overlong forms and surrogates; a name
  // only needs to stay valid UTF-8, which the checks above ensure for the
  // sequences kept.
  return IsStorableHandOffValue(text.substr(at, length)) ? length : 0;
}

std::string SystemText(int error) {
  return std::strerror(error);
}

std::optional<std::string> RealPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string out(resolved);
  std::free(resolved);
  return out;
}

// Gives `temporary` the name `target` unless something has that name.
// Returns 0, or the errno of the failure (EEXIST when the name is taken).
int MoveWithoutReplacing(const std::string& temporary, const std::string& target) {
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without that rename: a hard link fails just the same when
  // the name is taken.
  if (::link(temporary.c_str(), target.c_str()) != 0) return errno;
  ::unlink(temporary.c_str());
  return 0;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t at = 0; at < text.size(); at += 4) {
    const bool last = at + 4 == text.size();
    std::array<int, 4> sextets{};
    int padding = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const char c = text[at + i];
      int value = -1;
      if (c >= 'A' && c <= 'Z') value = c - 'A';
      if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
      if (c >= '0' && c <= '9') value = c - '0' + 52;
      if (c == '+') value = 62;
      if (c == '/') value = 63;
      if (c == '=') {
        // Padding only at the end of the last group, in its last two places.
        if (!last || i < 2) return std::nullopt;
        ++padding;
        value = 0;
      } else if (padding > 0 || value < 0) {
        return std::nullopt;
      }
      sextets[i] = value;
    }
    const std::uint32_t group = (static_cast<std::uint32_t>(sextets[0]) << 18) |
                                (static_cast<std::uint32_t>(sextets[1]) << 12) |
                                (static_cast<std::uint32_t>(sextets[2]) << 6) |
                                static_cast<std::uint32_t>(sextets[3]);
    out += static_cast<char>((group >> 16) & 0xFF);
    if (padding < 2) out += static_cast<char>((group >> 8) & 0xFF);
    if (padding < 1) out += static_cast<char>(group & 0xFF);
  }
  return out;
}

std::string PictureExtensionForType(std::string_view mimeType) {
  const std::string type = LowerAscii(TrimBlanks(mimeType.substr(0, mimeType.find(';'))));
  if (type == "image/jpeg" || type == "image/jpg" || type == "image/pjpeg") return ".jpg";
  if (type == "image/png" || type == "image/x-png") return ".png";
  if (type == "image/gif") return ".gif";
  if (type == "image/bmp" || type == "image/x-bmp" || type == "image/x-ms-bmp") return ".bmp";
  return {};
}

std::optional<DataUrl> ParseDataUrl(std::string_view url) {
  if (!StartsWithIgnoringCase(url, "data:")) return std::nullopt;
  url.remove_prefix(5);
  const std::size_t comma = url.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  std::string_view meta = TrimBlanks(url.substr(0, comma));
  const std::optional<std::string> data = PercentDecodedStrict(url.substr(comma + 1));
  if (!data) return std::nullopt;

  bool base64 = false;
  const std::size_t semicolon = meta.rfind(';');
  if (semicolon != std::string_view::npos &&
      EqualsIgnoringAsciiCase(TrimBlanks(meta.substr(semicolon + 1)), "base64")) {
    base64 = true;
    meta = meta.substr(0, semicolon);
  }
  DataUrl result;
  result.type = std::string(TrimBlanks(meta.substr(0, meta.find(';'))));
  if (result.type.empty()) result.type = "text/plain";
  if (!base64) {
    result.bytes = *data;
    return result;
  }
  // As browsers read them: blanks are dropped and the padding may be left off.
  std::string compact;
  for (char c : *data)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') compact += c;
  if (compact.size() % 4 == 2) compact += "==";
  if (compact.size() % 4 == 3) compact += "=";
  std::optional<std::string> bytes = DecodeBase64(compact);
  if (!bytes) return std::nullopt;
  result.bytes = std::move(*bytes);
  return result;
}

std::string StoredPictureBaseName(std::string_view nameHint) {
  const std::size_t slash = nameHint.find_last_of("/\\");
  if (slash != std::string_view::npos) nameHint.remove_prefix(slash + 1);
  nameHint = BaseNameOf(nameHint);
  std::string name;
  for (std::size_t at = 0; at < nameHint.size();) {
    const char c = nameHint[at];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      const std::size_t length = Utf8Length(nameHint, at);
      if (length > 0) {
        if (name.size() + length > kLongestBaseName) break;
        name.append(nameHint.substr(at, length));
        at += length;
        continue;
      }
    }
    if (name.size() + 1 > kLongestBaseName) break;
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == ' ' || c == '-' || c == '_';
    name += kept ? c : '_';
    ++at;
  }
  const std::string_view trimmed = TrimBlanks(name);
  // A name of nothing but marks ("_", "-") says nothing about the picture.
  const bool saysSomething = std::any_of(trimmed.begin(), trimmed.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           static_cast<unsigned char>(c) >= 0x80;
  });
  if (!saysSomething) return "picture";
  return std::string(trimmed);
}

StoredPicture StoreHandedOverPicture(const std::string& tempFolder, std::string_view bytes,
                                     std::string_view extension, std::string_view nameHint) {
  StoredPicture stored;
  std::string folder = tempFolder;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    stored.result = HResult::Fail("Cannot create " + folder + ": " + error.message());
    return stored;
  }

  std::string temporary = folder + "/.handed-over.tmp-XXXXXX";
  std::vector<char> name(temporary.begin(), temporary.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    stored.result = HResult::Fail("Cannot write in " + folder + ": " + SystemText(errno));
    return stored;
  }
  temporary.assign(name.data());
  const auto fail = [&](const std::string& what, int code) {
    ::unlink(temporary.c_str());
    stored.result = HResult::Fail(what + ": " + SystemText(code));
    return stored;
  };
  std::string_view rest = bytes;
  while (!rest.empty()) {
    const ssize_t written = ::write(fd, rest.data(), rest.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      ::close(fd);
      return fail("Cannot write " + temporary, code);
    }
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
  // A picture for others to look at, like every other file in "Temp".
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0666 & ~mask) != 0 || ::fsync(fd) != 0) {
    const int code = errno;
    ::close(fd);
    return fail("Cannot write " + temporary, code);
  }
  if (::close(fd) != 0) return fail("Cannot write " + temporary, errno);

  const std::string base = StoredPictureBaseName(nameHint);
  for (int number = 1; number <= kMostSameNames; ++number) {
    const std::string candidate = folder + "/" + base +
                                  (number > 1 ? "-" + std::to_string(number) : "") +
                                  std::string(extension);
    const int moved = MoveWithoutReplacing(temporary, candidate);
    if (moved == 0) {
      stored.path = candidate;
      return stored;
    }
    if (moved != EEXIST) return fail("Cannot write " + candidate, moved);
  }
  return fail("Cannot write in " + folder, EEXIST);
}

std::string FileUrlOf(std::string_view absolutePath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (char c : absolutePath) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 15];
    }
  }
  return url;
}

std::optional<std::string> OwnTempFilePath(std::string_view url, const std::string& tempFolder) {
  if (!StartsWithIgnoringCase(url, "file://")) return std::nullopt;
  url.remove_prefix(7);
  if (StartsWithIgnoringCase(url, "localhost/")) url.remove_prefix(9);
  if (url.empty() || url.front() != '/') return std::nullopt;
  // A file address has no query or fragment; one that carries them names
  // something else than it seems to.
  if (url.find_first_of("?#") != std::string_view::npos) return std::nullopt;
  const std::optional<std::string> path = PercentDecodedStrict(url);
  if (!path || path->find('\0') != std::string::npos) return std::nullopt;

  const std::optional<std::string> real = RealPath(*path);
  const std::optional<std::string> folder = RealPath(tempFolder);
  if (!real || !folder) return std::nullopt;
  const std::size_t slash = real->rfind('/');
  if (slash == std::string::npos || real->substr(0, slash) != *folder) return std::nullopt;
  struct stat info {};
  if (::stat(real->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return real;
}

}  // namespace quillet
