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

// The text without the spaces and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

// The value of a hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char c);

// "%" and two hexadecimal digits decoded; a "%" without them stays as it
// is. With `plusIsBlank`, as in an HTML form's fields, "+" is a space.
std::string PercentDecoded(std::string_view text, bool plusIsBlank = false);

// The extension of a name is the text from its last "." to the end, the "."
// included, or empty; the base name is the rest.
std::string_view ExtensionOf(std::string_view name);
std::string_view BaseNameOf(std::string_view name);

}  // namespace quillet
