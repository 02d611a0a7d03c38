#include "tools/native-host/NativeHost.h"

#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/app/ProgramFolder.h"
#include "core/automation/HandOffPicture.h"

namespace quillet {
namespace {

// Reads exactly `size` bytes; false when the input ends first.
bool ReadExactly(std::FILE* in, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::size_t got = std::fread(buffer + done, 1, size - done, in);
    if (got == 0) return false;
    done += got;
  }
  return true;
}

bool WriteFrame(std::FILE* out, const QByteArray& json) {
  const auto length = static_cast<std::uint32_t>(json.size());
  char header[sizeof length];
  std::memcpy(header, &length, sizeof length);
  return std::fwrite(header, 1, sizeof header, out) == sizeof header &&
         std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), out) ==
             static_cast<std::size_t>(json.size()) &&
         std::fflush(out) == 0;
}

QByteArray Reply(const std::optional<QString>& error) {
  QJsonObject reply;
  reply.insert(QStringLiteral("ok"), !error.has_value());
  if (error) reply.insert(QStringLiteral("error"), *error);
  return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

bool StartsWith(const QString& text, const char* prefix) {
  return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

NativeHostSession::NativeHostSession(std::optional<HandOffKey> key, HandOver handOver)
    : key_(std::move(key)), handOver_(std::move(handOver)) {}

int NativeHostSession::Run(std::FILE* in, std::FILE* out) {
  for (;;) {
    std::uint32_t length = 0;
    char header[sizeof length];
    const std::size_t got = std::fread(header, 1, sizeof header, in);
    if (got == 0) return 0;
    if (got < sizeof header && !ReadExactly(in, header + got, sizeof header - got)) return 1;
    std::memcpy(&length, header, sizeof length);
    if (length > kLargestNativeMessage) {
      WriteFrame(
          out,
          Reply(QStringLiteral("The message is larger than %1 bytes").arg(kLargestNativeMessage)));
      return 1;
    }
    QByteArray message(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (!ReadExactly(in, message.data(), length)) return 1;
    if (!WriteFrame(out, Answer(message))) return 1;
  }
}

QByteArray NativeHostSession::Answer(const QByteArray& message) {
  QJsonParseError parseError{};
  const QJsonDocument document = QJsonDocument::fromJson(message, &parseError);
  if (parseError.error != QJsonParseError::NoError || !document.isObject())
    return Reply(QStringLiteral("The message is not a JSON object"));
  const QJsonObject fields = document.object();

  static const QStringList kKnown = {QStringLiteral("url"), QStringLiteral("bytes"),
                                     QStringLiteral("type"), QStringLiteral("name")};
  for (const QString& field : fields.keys()) {
    if (!kKnown.contains(field)) return Reply(QStringLiteral("Unknown field \"%1\"").arg(field));
    if (!fields.value(field).isString())
      return Reply(QStringLiteral("The field \"%1\" is not a text").arg(field));
  }
  const bool hasUrl = fields.contains(QStringLiteral("url"));
  const bool hasBytes = fields.contains(QStringLiteral("bytes"));
  if (hasUrl) {
    if (fields.size() != 1)
      return Reply(QStringLiteral("A message with \"url\" has no other field"));
    return Reply(HandOverAddress(fields.value(QStringLiteral("url")).toString()));
  }
  if (!hasBytes || !fields.contains(QStringLiteral("type")))
    return Reply(QStringLiteral("A message has \"url\", or \"bytes\" with \"type\""));
  return Reply(HandOverBytes(fields.value(QStringLiteral("bytes")).toString(),
                             fields.value(QStringLiteral("type")).toString(),
                             fields.value(QStringLiteral("name")).toString()));
}

std::optional<QString> NativeHostSession::HandOverAddress(const QString& url) {
  const std::string address = url.toStdString();
  if (!IsStorableHandOffValue(address))
    return QStringLiteral("The address holds a line break or a NUL");
  if ((StartsWith(url, "http://") && url.size() > 7) ||
      (StartsWith(url, "https://") && url.size() > 8)) {
    const HandOffCallResult result = handOver_(url);
    if (!result.ok) return result.error;
    return std::nullopt;
  }
  if (StartsWith(url, "data:")) {
    const std::optional<DataUrl> data = ParseDataUrl(address);
    if (!data) return QStringLiteral("The data: address cannot be read");
    return HandOverStored(data->bytes, FromStd(data->type), QString());
  }
  if (StartsWith(url, "file:")) {
    QString error;
    const std::optional<std::string> temp = TempFolder(error);
    if (!temp) return error;
    const std::optional<std::string> path = OwnTempFilePath(address, *temp);
    if (!path)
      return QStringLiteral(
          "Only pictures that Quillet stored in its \"Temp\" folder can be "
          "handed over as files");
    const HandOffCallResult result = handOver_(FromStd(FileUrlOf(*path)));
    if (!result.ok) return result.error;
    return std::nullopt;
  }
  return QStringLiteral("Only http, https and data addresses can be handed over");
}

std::optional<QString> NativeHostSession::HandOverBytes(const QString& base64, const QString& type,
                                                        const QString& name) {
  const std::optional<std::string> bytes = DecodeBase64(base64.toStdString());
  if (!bytes) return QStringLiteral("The field \"bytes\" is not base64");
  return HandOverStored(*bytes, type, name);
}

std::optional<QString> NativeHostSession::HandOverStored(std::string_view bytes,
                                                         const QString& type, const QString& name) {
  const std::string extension = PictureExtensionForType(type.toStdString());
  if (extension.empty()) return QStringLiteral("Unsupported picture type: %1").arg(type);
  if (bytes.empty()) return QStringLiteral("The picture is empty");
  QString error;
  const std::optional<std::string> temp = TempFolder(error);
  if (!temp) return error;
  const StoredPicture stored = StoreHandedOverPicture(*temp, bytes, extension, name.toStdString());
  if (!stored.result.ok) return FromStd(stored.result.detail);
  const HandOffCallResult result = handOver_(FromStd(FileUrlOf(stored.path)));
  if (result.ok) return std::nullopt;
  // Nobody will take it: the copy goes.
  ::unlink(stored.path.c_str());
  return result.error;
}

std::optional<std::string> NativeHostSession::TempFolder(QString& error) const {
  const QString notRegistered =
      QStringLiteral("Quillet is not registered for this user; run \"quillet --regserver\" once");
  if (!key_) {
    error = notRegistered;
    return std::nullopt;
  }
  const HandOffReading reading = ReadHandOffKey(*key_);
  if (!reading.result.ok || !reading.values.appPath || reading.values.appPath->empty() ||
      reading.values.appPath->front() != '/') {
    error = notRegistered;
    return std::nullopt;
  }
  return *reading.values.appPath + "/" + kTempFolder;
}

}  // namespace quillet
