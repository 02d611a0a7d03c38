#include "tools/service/Log.h"

#include <unistd.h>

#include <ctime>
#include <mutex>
#include <string>

namespace quillet::service {

void Log(std::string_view line) {
  static std::mutex mutex;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S ", &local);
  std::string text = stamp;
  for (char c : line)
    text.push_back(c == '\n' || c == '\r' ? ' ' : c);
  text.push_back('\n');
  std::lock_guard lock(mutex);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace quillet::service
