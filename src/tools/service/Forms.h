#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::service {

// One field of a posted form. `value` points into the request body (or into
// the form's own storage for decoded url-encoded values), so a picture is not
// copied on its way to the store.
struct FormPart {
  std::string name;
  std::optional<std::string> fileName;  // present for a file field
  std::string contentType;
  std::string_view value;
};

struct FormLimits {
  std::size_t maxParts = 16;
  std::size_t maxPartHeaderBytes = 2048;
  std::size_t maxTextBytes = 16 * 1024;
  std::size_t maxFileBytes = 5 * 1024 * 1024;
};

enum class FormError { None, Malformed, TooManyParts, FieldTooLarge, FileTooLarge };

class ParsedForm {
 public:
  FormError error = FormError::None;
  std::vector<FormPart> parts;

  // The first field of that name, or nullptr.
  const FormPart* Find(std::string_view name) const;
  // The first field's value, or empty.
  std::string Text(std::string_view name) const;

  // Decoded values live here; a deque keeps them in place while it grows.
  std::deque<std::string> storage;
};

// The boundary parameter of a multipart Content-Type, unquoted; nothing when
// the type is not multipart/form-data or the boundary is missing or invalid.
std::optional<std::string> MultipartBoundary(std::string_view contentType);

// The program's own request layout: its boundary is eight hyphens and fifteen
// digits, and it names itself with its fixed user agent. Its body puts one CR
// LF more before the closing delimiter than RFC 2046 reads as a delimiter.
bool IsProgramLayout(std::string_view boundary, std::string_view userAgent);

// Reads a multipart/form-data body. With `programLayout` the CR LF that the
// program adds after its last part is taken off that part, so every field
// holds exactly the bytes that were sent. Parts without a name are skipped.
ParsedForm ParseMultipart(std::string_view body, std::string_view boundary, bool programLayout,
                          const FormLimits& limits);

// Reads an application/x-www-form-urlencoded body (also a query string).
ParsedForm ParseUrlEncoded(std::string_view body, const FormLimits& limits);

// Percent-decoding with "+" as a blank; broken escapes stay as written.
std::string DecodeFormComponent(std::string_view text);

}  // namespace quillet::service
