#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quillet::service {

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Account {
  std::int64_t id = 0;
  std::string name;
  std::string passwordHash;
};

struct PictureInfo {
  std::string id;
  std::int64_t owner = 0;
  std::string format;  // "png", "jpg", "gif", "bmp"
  int width = 0;
  int height = 0;
  std::int64_t size = 0;
  std::string fileName;
  std::int64_t created = 0;  // seconds since 1970
};

struct NewPicture {
  std::string id;
  std::string format;
  int width = 0;
  int height = 0;
  std::string fileName;
  std::string_view bytes;
};

struct StoreOutcome {
  enum class Kind { Stored, OverQuota, IdTaken } kind = Kind::Stored;
  std::int64_t countBefore = 0;
  std::vector<std::string> droppedIds;  // oldest pictures that made room
};

// All the service keeps, in one SQLite database (WAL mode, full sync): a
// picture counts as stored once its transaction has committed, and a crash at
// any moment leaves either the whole picture or none of it. Every method may
// be called from any thread; each call takes a connection of its own.
class Store {
 public:
  explicit Store(const std::string& path);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Names compare without regard to ASCII letter case.
  std::optional<Account> FindAccount(std::string_view name);
  // False when the name is taken.
  bool AddAccount(std::string_view name, std::string_view passwordHash);

  // Stores a picture for `owner` when that account holds fewer than `limit`.
  // With `dropOldest` a full account instead loses its oldest pictures to make
  // room, in the same transaction, and their IDs are reported.
  StoreOutcome StorePicture(std::int64_t owner, const NewPicture& picture, std::int64_t limit,
                            bool dropOldest);

  std::int64_t PictureCount(std::int64_t owner);
  std::optional<PictureInfo> FindPicture(std::string_view id);
  // The picture's bytes, or nothing when there is no such picture.
  std::optional<std::string> PictureBytes(std::string_view id, PictureInfo* info = nullptr);
  // Newest first.
  std::vector<PictureInfo> ListPictures(std::int64_t owner, std::int64_t offset,
                                        std::int64_t count);

  // Counters of the service's own (uploads, mails sent, ...).
  void AddToCounter(std::string_view name, std::int64_t delta);
  std::int64_t Counter(std::string_view name);

 private:
  class Lease;
  sqlite3* Acquire();
  void Release(sqlite3* db);
  sqlite3* Open();

  std::string path_;
  // Writers of this process queue here, in turn, rather than in SQLite's
  // busy handler, which sleeps and retries and so lets some wait for long.
  std::mutex writeMutex_;
  std::mutex mutex_;
  std::vector<sqlite3*> idle_;
};

}  // namespace quillet::service
