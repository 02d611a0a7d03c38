#include "tools/service/Store.h"

#include <sqlite3.h>

#include <chrono>

namespace quillet::service {
namespace {

constexpr int kBusyTimeoutMs = 15000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  password_hash TEXT NOT NULL,
  created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS pictures(
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  id TEXT NOT NULL UNIQUE,
  owner INTEGER NOT NULL REFERENCES accounts(id),
  format TEXT NOT NULL,
  width INTEGER NOT NULL,
  height INTEGER NOT NULL,
  size INTEGER NOT NULL,
  file_name TEXT NOT NULL,
  created INTEGER NOT NULL,
  bytes BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS pictures_by_owner ON pictures(owner, seq);
CREATE TABLE IF NOT EXISTS counters(
  name TEXT PRIMARY KEY,
  value INTEGER NOT NULL);
)sql";

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw StoreError(what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
}

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw StoreError(std::string("database: ") + text);
  }
}

// One prepared statement; finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) Fail(db, "database");
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
  }
  Statement& Bind(int index, std::string_view text) {
    Check(
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
  }
  Statement& BindBlob(int index, std::string_view bytes) {
    // The bytes outlive the statement's step, so SQLite need not copy them.
    Check(sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                              SQLITE_STATIC));
    return *this;
  }
  // True while a row is there.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(db_, "database");
  }
  std::int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  std::string Blob(int column) {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr
               ? std::string()
               : std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
  }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) Fail(db_, "database");
  }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// A write transaction: BEGIN IMMEDIATE takes the write lock at once, so two
// uploads never deadlock upgrading a read lock. Rolled back unless committed.
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db) : db_(db) { Exec(db, "BEGIN IMMEDIATE"); }
  ~WriteTransaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Exec(db_, "COMMIT");
    done_ = true;
  }

 private:
  sqlite3* db_;
  bool done_ = false;
};

PictureInfo ReadPicture(Statement& row) {
  PictureInfo info;
  info.id = row.Text(0);
  info.owner = row.Int(1);
  info.format = row.Text(2);
  info.width = static_cast<int>(row.Int(3));
  info.height = static_cast<int>(row.Int(4));
  info.size = row.Int(5);
  info.fileName = row.Text(6);
  info.created = row.Int(7);
  return info;
}

constexpr const char* kPictureColumns =
    "id, owner, format, width, height, size, file_name, created";

}  // namespace

class Store::Lease {
 public:
  explicit Lease(Store& store) : store_(store), db_(store.Acquire()) {}
  ~Lease() { store_.Release(db_); }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  sqlite3* get() const { return db_; }

 private:
  Store& store_;
  sqlite3* db_;
};

Store::Store(const std::string& path) : path_(path) {
  sqlite3* db = Open();
  try {
    Exec(db, "PRAGMA journal_mode=WAL");
    Exec(db, kSchema);
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  Release(db);
}

Store::~Store() {
  for (sqlite3* db : idle_)
    sqlite3_close(db);
}

sqlite3* Store::Open() {
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(path_.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = "cannot open the database " + path_ + ": " +
                          (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    throw StoreError(message);
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  try {
    // FULL makes a commit durable against a power cut as well, not only
    // against the process being killed.
    Exec(db, "PRAGMA synchronous=FULL");
    Exec(db, "PRAGMA foreign_keys=ON");
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  return db;
}

sqlite3* Store::Acquire() {
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      sqlite3* db = idle_.back();
      idle_.pop_back();
      return db;
    }
  }
  return Open();
}

void Store::Release(sqlite3* db) {
  std::lock_guard lock(mutex_);
  idle_.push_back(db);
}

std::optional<Account> Store::FindAccount(std::string_view name) {
  Lease db(*this);
  Statement row(db.get(), "SELECT id, name, password_hash FROM accounts WHERE name = ?1");
  row.Bind(1, name);
  if (!row.Step()) return std::nullopt;
  return Account{row.Int(0), row.Text(1), row.Text(2)};
}

bool Store::AddAccount(std::string_view name, std::string_view passwordHash) {
  Lease db(*this);
  std::lock_guard writer(writeMutex_);
  WriteTransaction transaction(db.get());
  {
    Statement exists(db.get(), "SELECT 1 FROM accounts WHERE name = ?1");
    exists.Bind(1, name);
    if (exists.Step()) return false;
  }
  Statement insert(db.get(),
                   "INSERT INTO accounts(name, password_hash, created) VALUES(?1, ?2, ?3)");
  insert.Bind(1, name).Bind(2, passwordHash).Bind(3, Now());
  insert.Step();
  transaction.Commit();
  return true;
}

StoreOutcome Store::StorePicture(std::int64_t owner, const NewPicture& picture, std::int64_t limit,
                                 bool dropOldest) {
  Lease db(*this);
  StoreOutcome outcome;
  std::lock_guard writer(writeMutex_);
  WriteTransaction transaction(db.get());
  {
    Statement count(db.get(), "SELECT count(*) FROM pictures WHERE owner = ?1");
    count.Bind(1, owner);
    count.Step();
    outcome.countBefore = count.Int(0);
  }
  if (outcome.countBefore >= limit) {
    if (!dropOldest) {
      outcome.kind = StoreOutcome::Kind::OverQuota;
      return outcome;
    }
    Statement oldest(db.get(), "SELECT id FROM pictures WHERE owner = ?1 ORDER BY seq LIMIT ?2");
    oldest.Bind(1, owner).Bind(2, outcome.countBefore - limit + 1);
    while (oldest.Step())
      outcome.droppedIds.push_back(oldest.Text(0));
    for (const std::string& id : outcome.droppedIds) {
      Statement drop(db.get(), "DELETE FROM pictures WHERE id = ?1");
      drop.Bind(1, id);
      drop.Step();
    }
  }
  {
    Statement taken(db.get(), "SELECT 1 FROM pictures WHERE id = ?1");
    taken.Bind(1, picture.id);
    if (taken.Step()) {
      outcome.kind = StoreOutcome::Kind::IdTaken;
      outcome.droppedIds.clear();
      return outcome;
    }
  }
  Statement insert(db.get(),
                   "INSERT INTO pictures(id, owner, format, width, height, size, file_name, "
                   "created, bytes) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  insert.Bind(1, picture.id)
      .Bind(2, owner)
      .Bind(3, picture.format)
      .Bind(4, picture.width)
      .Bind(5, picture.height)
      .Bind(6, static_cast<std::int64_t>(picture.bytes.size()))
      .Bind(7, picture.fileName)
      .Bind(8, Now())
      .BindBlob(9, picture.bytes);
  insert.Step();
  {
    Statement counter(db.get(),
                      "INSERT INTO counters(name, value) VALUES('uploads', 1) "
                      "ON CONFLICT(name) DO UPDATE SET value = value + 1");
    counter.Step();
  }
  transaction.Commit();
  return outcome;
}

std::int64_t Store::PictureCount(std::int64_t owner) {
  Lease db(*this);
  Statement count(db.get(), "SELECT count(*) FROM pictures WHERE owner = ?1");
  count.Bind(1, owner);
  count.Step();
  return count.Int(0);
}

std::optional<PictureInfo> Store::FindPicture(std::string_view id) {
  Lease db(*this);
  Statement row(
      db.get(),
      (std::string("SELECT ") + kPictureColumns + " FROM pictures WHERE id = ?1").c_str());
  row.Bind(1, id);
  if (!row.Step()) return std::nullopt;
  return ReadPicture(row);
}

std::optional<std::string> Store::PictureBytes(std::string_view id, PictureInfo* info) {
  Lease db(*this);
  Statement row(
      db.get(),
      (std::string("SELECT ") + kPictureColumns + ", bytes FROM pictures WHERE id = ?1").c_str());
  row.Bind(1, id);
  if (!row.Step()) return std::nullopt;
  if (info != nullptr) *info = ReadPicture(row);
  return row.Blob(8);
}

std::vector<PictureInfo> Store::ListPictures(std::int64_t owner, std::int64_t offset,
                                             std::int64_t count) {
  Lease db(*this);
  Statement row(db.get(), (std::string("SELECT ") + kPictureColumns +
                           " FROM pictures WHERE owner = ?1 ORDER BY seq DESC LIMIT ?2 OFFSET ?3")
                              .c_str());
  row.Bind(1, owner).Bind(2, count).Bind(3, offset);
  std::vector<PictureInfo> pictures;
  while (row.Step())
    pictures.push_back(ReadPicture(row));
  return pictures;
}

void Store::AddToCounter(std::string_view name, std::int64_t delta) {
  Lease db(*this);
  std::lock_guard writer(writeMutex_);
  Statement counter(db.get(),
                    "INSERT INTO counters(name, value) VALUES(?1, ?2) "
                    "ON CONFLICT(name) DO UPDATE SET value = value + ?2");
  counter.Bind(1, name).Bind(2, delta);
  counter.Step();
}

std::int64_t Store::Counter(std::string_view name) {
  Lease db(*this);
  Statement row(db.get(), "SELECT value FROM counters WHERE name = ?1");
  row.Bind(1, name);
  return row.Step() ? row.Int(0) : 0;
}

}  // namespace quillet::service
