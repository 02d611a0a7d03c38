#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Letter case is folded for a to z only, never by locale: names compare the
// same on every machine.
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A decimal integer that fits in 32 signed bits: optional surrounding blanks,
// an optional sign, digits. Anything else is nullopt.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// The extension of a name is the text from its last "." to the end, the "."
// included, or empty; the base name is the rest.
std::string_view ExtensionOf(std::string_view name);
std::string_view BaseNameOf(std::string_view name);

}  // namespace quillet
