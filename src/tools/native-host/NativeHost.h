#pragma once

// The native-messaging side of the browser extension. Each message is a
// 32-bit length in the machine's byte order followed by that many bytes of
// UTF-8 JSON; each answer is framed the same way. The messages:
//   {"url": ADDRESS}
//       an http or https address, handed over as it is; a data: address,
//       whose picture is stored in the program folder's "Temp" and handed
//       over as a file: address; or such a file: address again.
//   {"bytes": BASE64, "type": MEDIA-TYPE, "name": NAME}
//       a picture's bytes ("name", the page's name for it, may be left out),
//       stored in "Temp" and handed over as a file: address.
// The answer is {"ok": true} or {"ok": false, "error": TEXT}.
#include <QByteArray>
#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

#include "core/automation/HandOff.h"
#include "gui/automation/HandOffClient.h"

namespace quillet {

// Larger messages are refused (and end the session, since nothing after a
// refused length can be trusted to be a frame).
inline constexpr std::uint32_t kLargestNativeMessage = 8u << 20;

class NativeHostSession {
 public:
  using HandOver = std::function<HandOffCallResult(const QString& url)>;

  // `key` finds "AppPath", the program folder whose "Temp" takes the stored
  // pictures; `handOver` calls AddImageURL.
  NativeHostSession(std::optional<HandOffKey> key, HandOver handOver);

  // Answers every message until the input ends: 0 when it ended between
  // messages, 1 when it broke off inside one or a message was too large.
  int Run(std::FILE* in, std::FILE* out);

  // The answer to one message, as JSON.
  QByteArray Answer(const QByteArray& message);

 private:
  // An error text, or nothing when the address was handed over.
  std::optional<QString> HandOverAddress(const QString& url);
  std::optional<QString> HandOverBytes(const QString& base64, const QString& type,
                                       const QString& name);
  std::optional<QString> HandOverStored(std::string_view bytes, const QString& type,
                                        const QString& name);
  // The program folder's "Temp", or the error text.
  std::optional<std::string> TempFolder(QString& error) const;

  std::optional<HandOffKey> key_;
  HandOver handOver_;
};

}  // namespace quillet
