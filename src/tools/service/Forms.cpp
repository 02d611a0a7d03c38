#include "tools/service/Forms.h"

#include <algorithm>
#include <cctype>

#include "core/platform/Text.h"
#include "core/service/HttpClient.h"

namespace quillet::service {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// A parameter of a header value such as `form-data; name="x"; filename="y"`.
// Quoted values are taken verbatim up to the next quote: the program puts
// names and Windows paths between quotes without escaping anything, and
// browsers write a quote inside a name as %22.
std::optional<std::string> HeaderParameter(std::string_view value, std::string_view key) {
  std::size_t pos = value.find(';');
  while (pos < value.size()) {
    ++pos;
    const std::size_t nameStart = pos;
    while (pos < value.size() && value[pos] != '=' && value[pos] != ';')
      ++pos;
    const std::string_view name = TrimBlanks(value.substr(nameStart, pos - nameStart));
    if (pos >= value.size() || value[pos] == ';') continue;
    ++pos;
    while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t'))
      ++pos;
    std::string parsed;
    if (pos < value.size() && value[pos] == '"') {
      const std::size_t close = value.find('"', pos + 1);
      if (close == std::string_view::npos) return std::nullopt;
      parsed = std::string(value.substr(pos + 1, close - pos - 1));
      pos = value.find(';', close + 1);
    } else {
      const std::size_t end = value.find(';', pos);
      parsed = std::string(
          TrimBlanks(value.substr(pos, end == std::string_view::npos ? end : end - pos)));
      pos = end;
    }
    if (EqualsIgnoringAsciiCase(name, key)) return parsed;
  }
  return std::nullopt;
}

// Fills `part` from the header block of one part; false when it is not a
// form-data part.
bool ReadPartHeaders(std::string_view block, FormPart& part) {
  bool disposition = false;
  while (!block.empty()) {
    const std::size_t end = block.find(kCrLf);
    const std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 2);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = TrimBlanks(line.substr(0, colon));
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (EqualsIgnoringAsciiCase(name, "Content-Disposition")) {
      const std::string_view type = TrimBlanks(value.substr(0, value.find(';')));
      if (!EqualsIgnoringAsciiCase(type, "form-data")) return false;
      disposition = true;
      part.name = HeaderParameter(value, "name").value_or("");
      part.fileName = HeaderParameter(value, "filename");
    } else if (EqualsIgnoringAsciiCase(name, "Content-Type")) {
      part.contentType = std::string(value);
    }
  }
  return disposition;
}

}  // namespace

const FormPart* ParsedForm::Find(std::string_view name) const {
  for (const FormPart& part : parts)
    if (part.name == name) return &part;
  return nullptr;
}

std::string ParsedForm::Text(std::string_view name) const {
  const FormPart* part = Find(name);
  return part == nullptr ? std::string() : std::string(part->value);
}

std::optional<std::string> MultipartBoundary(std::string_view contentType) {
  const std::string_view type = TrimBlanks(contentType.substr(0, contentType.find(';')));
  if (!EqualsIgnoringAsciiCase(type, "multipart/form-data")) return std::nullopt;
  std::optional<std::string> boundary = HeaderParameter(contentType, "boundary");
  // RFC 2046 allows 1 to 70 characters; anything else is no boundary at all.
  if (!boundary || boundary->empty() || boundary->size() > 70) return std::nullopt;
  for (char c : *boundary)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
      return std::nullopt;
  return boundary;
}

bool IsProgramLayout(std::string_view boundary, std::string_view userAgent) {
  if (userAgent != kProgramUserAgent || boundary.size() != 23) return false;
  for (std::size_t i = 0; i < boundary.size(); ++i) {
    const char c = boundary[i];
    if (i < 8 ? c != '-' : !std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

ParsedForm ParseMultipart(std::string_view body, std::string_view boundary, bool programLayout,
                          const FormLimits& limits) {
  ParsedForm form;
  const std::string delimiter = "--" + std::string(boundary);
  const std::string bodyDelimiter = "\r\n" + delimiter;

  // The first delimiter opens the body or follows the preamble's last line.
  std::size_t pos = 0;
  if (body.substr(0, delimiter.size()) != delimiter) {
    pos = body.find(bodyDelimiter);
    if (pos == std::string_view::npos) {
      form.error = FormError::Malformed;
      return form;
    }
    pos += 2;
  }
  bool closed = false;
  while (true) {
    pos += delimiter.size();
    if (body.substr(pos, 2) == "--") {
      closed = true;
      break;
    }
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t'))
      ++pos;
    if (body.substr(pos, 2) != kCrLf) break;
    pos += 2;

    std::string_view headers;
    std::size_t contentStart = 0;
    if (body.substr(pos, 2) == kCrLf) {
      contentStart = pos + 2;
    } else {
      const std::size_t headersEnd = body.find("\r\n\r\n", pos);
      if (headersEnd == std::string_view::npos || headersEnd - pos > limits.maxPartHeaderBytes)
        break;
      headers = body.substr(pos, headersEnd - pos);
      contentStart = headersEnd + 4;
    }
    const std::size_t next = body.find(bodyDelimiter, contentStart);
    if (next == std::string_view::npos) break;

    FormPart part;
    if (ReadPartHeaders(headers, part) && !part.name.empty()) {
      if (form.parts.size() == limits.maxParts) {
        form.error = FormError::TooManyParts;
        return form;
      }
      part.value = body.substr(contentStart, next - contentStart);
      form.parts.push_back(std::move(part));
    }
    pos = next + 2;
  }
  if (!closed) {
    form.parts.clear();
    form.error = FormError::Malformed;
    return form;
  }
  if (programLayout && !form.parts.empty()) {
    std::string_view& last = form.parts.back().value;
    if (last.size() >= 2 && last.substr(last.size() - 2) == kCrLf) last.remove_suffix(2);
  }
  // Sizes are judged on the exact values, after the program's extra line.
  for (const FormPart& part : form.parts) {
    if (part.fileName && part.value.size() > limits.maxFileBytes) {
      form.error = FormError::FileTooLarge;
      return form;
    }
    if (!part.fileName && part.value.size() > limits.maxTextBytes) {
      form.error = FormError::FieldTooLarge;
      return form;
    }
  }
  return form;
}

std::string DecodeFormComponent(std::string_view text) {
  return PercentDecoded(text, true);
}

ParsedForm ParseUrlEncoded(std::string_view body, const FormLimits& limits) {
  ParsedForm form;
  while (!body.empty()) {
    const std::size_t amp = body.find('&');
    const std::string_view pair = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view{} : body.substr(amp + 1);
    if (pair.empty()) continue;
    if (form.parts.size() == limits.maxParts) {
      form.error = FormError::TooManyParts;
      return form;
    }
    const std::size_t equals = pair.find('=');
    FormPart part;
    part.name = DecodeFormComponent(pair.substr(0, equals));
    form.storage.push_back(equals == std::string_view::npos
                               ? std::string()
                               : DecodeFormComponent(pair.substr(equals + 1)));
    part.value = form.storage.back();
    if (part.value.size() > limits.maxTextBytes) {
      form.error = FormError::FieldTooLarge;
      return form;
    }
    form.parts.push_back(std::move(part));
  }
  return form;
}

}  // namespace quillet::service
