#include "tools/service/Passwords.h"

#include <sodium.h>

#include <stdexcept>

namespace quillet::service {
namespace {

constexpr std::size_t kMaxKnown = 4096;

}  // namespace

bool InitializeCrypto() {
  return sodium_init() >= 0;
}

std::string HashPassword(std::string_view password) {
  char out[crypto_pwhash_argon2id_STRBYTES];
  if (crypto_pwhash_argon2id_str(out, password.data(), password.size(),
                                 crypto_pwhash_argon2id_OPSLIMIT_INTERACTIVE,
                                 crypto_pwhash_argon2id_MEMLIMIT_INTERACTIVE) != 0)
    throw std::runtime_error("not enough memory to hash a password");
  return out;
}

PasswordChecker::PasswordChecker(int parallel, std::chrono::seconds remember)
    : slots_(parallel < 1 ? 1 : (parallel > 64 ? 64 : parallel)), remember_(remember) {
  randombytes_buf(key_.data(), key_.size());
}

PasswordChecker::Digest PasswordChecker::Fingerprint(const std::string& storedHash,
                                                     std::string_view password) const {
  // Bound to the stored hash too, so a changed password is never taken from
  // memory.
  crypto_generichash_state state;
  crypto_generichash_init(&state, key_.data(), key_.size(), 32);
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(storedHash.data()),
                            storedHash.size() + 1);
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(password.data()),
                            password.size());
  Digest digest{};
  crypto_generichash_final(&state, digest.data(), digest.size());
  return digest;
}

bool PasswordChecker::Verify(std::int64_t accountId, const std::string& storedHash,
                             std::string_view password) {
  if (storedHash.size() >= crypto_pwhash_argon2id_STRBYTES) return false;
  const Digest digest = Fingerprint(storedHash, password);
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(mutex_);
    auto it = known_.find(accountId);
    if (it != known_.end() && it->second.until > now &&
        sodium_memcmp(it->second.digest.data(), digest.data(), digest.size()) == 0)
      return true;
  }
  slots_.acquire();
  const bool right =
      crypto_pwhash_argon2id_str_verify(storedHash.c_str(), password.data(), password.size()) == 0;
  slots_.release();
  if (right) {
    std::lock_guard lock(mutex_);
    if (known_.size() >= kMaxKnown) {
      std::erase_if(known_, [&](const auto& entry) { return entry.second.until <= now; });
      if (known_.size() >= kMaxKnown) known_.clear();
    }
    known_[accountId] = Known{digest, now + remember_};
  }
  return right;
}

}  // namespace quillet::service
