// The texts a browser hands over: the hand-off file, base64 bytes and data:
// addresses. What is parsed must survive being written and parsed again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/automation/HandOff.h"
#include "core/automation/HandOffPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const quillet::HandOffValues values = quillet::ParseHandOffText(text);
  const bool storable = (!values.appPath || quillet::IsStorableHandOffValue(*values.appPath)) &&
                        (!values.imageUrl || quillet::IsStorableHandOffValue(*values.imageUrl));
  if (storable && !(quillet::ParseHandOffText(quillet::HandOffText(values)) == values))
    std::abort();
  quillet::DecodeBase64(text);
  quillet::ParseDataUrl(text);
  return 0;
}
