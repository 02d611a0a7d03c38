#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <semaphore>
#include <string>
#include <string_view>

namespace quillet::service {

// Must run once, before any other thread starts; false when libsodium cannot
// be set up (no random source).
bool InitializeCrypto();

// An Argon2id hash in libsodium's string form (salt and costs included).
// Throws std::runtime_error when the memory for it cannot be had.
std::string HashPassword(std::string_view password);

// Checks passwords against stored hashes. Argon2id is made to be slow and to
// take 64 MiB; at most `parallel` checks run at once, and a password that was
// right stays known (as a keyed digest, never in clear) for a while, so the
// program's member-status request and upload do not pay for it twice.
class PasswordChecker {
 public:
  explicit PasswordChecker(int parallel = 2,
                           std::chrono::seconds remember = std::chrono::minutes(10));

  bool Verify(std::int64_t accountId, const std::string& storedHash, std::string_view password);

 private:
  using Digest = std::array<unsigned char, 32>;
  Digest Fingerprint(const std::string& storedHash, std::string_view password) const;

  std::counting_semaphore<64> slots_;
  std::chrono::seconds remember_;
  std::array<unsigned char, 32> key_{};
  std::mutex mutex_;
  struct Known {
    Digest digest;
    std::chrono::steady_clock::time_point until;
  };
  std::map<std::int64_t, Known> known_;
};

}  // namespace quillet::service
