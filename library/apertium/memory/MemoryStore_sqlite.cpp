// The translation memory in SQLite (Debian's libsqlite3).
#include <sqlite3.h>

#include <sstream>

#include "MemoryKey.h"
#include "MemoryStore.h"

namespace zta {
namespace {

// Machine entries name their context by its row; a person's have none.
constexpr sqlite3_int64 kHumanContext = 0;

// How long a write waits for another process's write to end.
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS contexts("
    " id INTEGER PRIMARY KEY,"
    " fingerprint TEXT NOT NULL UNIQUE,"
    " pair TEXT NOT NULL,"
    " made_by TEXT NOT NULL,"
    " files TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS entries("
    " pair TEXT NOT NULL,"
    " source TEXT NOT NULL,"
    " context INTEGER NOT NULL,"
    " target TEXT NOT NULL,"
    " PRIMARY KEY(pair, source, context)) WITHOUT ROWID;";

// One prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
      throw MemoryError(sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void bind(int index, std::string_view text) {
    check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
  }
  void bind(int index, sqlite3_int64 value) { check(sqlite3_bind_int64(statement_, index, value)); }
  // True while there is a row.
  bool step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) throw MemoryError(sqlite3_errmsg(db_));
    return false;
  }
  void reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  std::string text(int column) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return data == nullptr ? std::string() : std::string(data, static_cast<std::size_t>(size));
  }
  sqlite3_int64 number(int column) { return sqlite3_column_int64(statement_, column); }

 private:
  void check(int result) {
    if (result != SQLITE_OK) throw MemoryError(sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace

struct MemoryStore::Database {
  sqlite3* db = nullptr;
  bool readOnly = false;

  void execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message != nullptr ? message : sqlite3_errmsg(db);
      sqlite3_free(message);
      throw MemoryError(text);
    }
  }

  // Runs work in one write transaction: all of it or none.
  template <typename Work>
  void transaction(Work work) {
    execute("BEGIN IMMEDIATE");
    try {
      work();
      execute("COMMIT");
    } catch (...) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  // The row of context, made when missing.
  sqlite3_int64 contextId(const MemoryContext& context) {
    Statement insert(db,
                     "INSERT OR IGNORE INTO contexts(fingerprint, pair, made_by, files) "
                     "VALUES(?1, ?2, ?3, ?4)");
    insert.bind(1, context.fingerprint);
    insert.bind(2, context.pair);
    insert.bind(3, context.madeBy);
    insert.bind(4, context.files);
    insert.step();
    Statement select(db, "SELECT id FROM contexts WHERE fingerprint = ?1");
    select.bind(1, context.fingerprint);
    if (!select.step()) throw MemoryError("the context was not kept");
    return select.number(0);
  }
};

MemoryStore::MemoryStore(const std::string& path, bool readOnly)
    : database_(std::make_unique<Database>()) {
  database_->readOnly = readOnly;
  const int flags = readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  if (sqlite3_open_v2(path.c_str(), &database_->db, flags | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    const std::string why =
        database_->db != nullptr ? sqlite3_errmsg(database_->db) : "out of memory";
    sqlite3_close(database_->db);
    throw MemoryError(why);
  }
  try {
    sqlite3_busy_timeout(database_->db, kBusyTimeoutMs);
    // Reads the header first: a file that is no database fails here,
    // before anything is written to it.
    database_->execute("SELECT count(*) FROM sqlite_master");
    if (!readOnly && !sqlite3_db_readonly(database_->db, "main")) {
      database_->execute("PRAGMA journal_mode=WAL");
      // In WAL mode a commit is safe against a killed process without a
      // sync; only a power cut may lose the last commits, never the file.
      database_->execute("PRAGMA synchronous=NORMAL");
      database_->execute(kSchema);
    }
  } catch (...) {
    sqlite3_close(database_->db);
    throw;
  }
}

MemoryStore::~MemoryStore() { sqlite3_close(database_->db); }

std::vector<std::optional<std::string>> MemoryStore::find(
    const MemoryContext& context, const std::vector<std::string_view>& texts) {
  std::vector<std::optional<std::string>> found(texts.size());
  Database& database = *database_;
  // A fresh database opened read-only has no tables: it holds nothing.
  {
    Statement tables(database.db, "SELECT count(*) FROM sqlite_master WHERE name = 'entries'");
    if (!tables.step() || tables.number(0) == 0) return found;
  }
  Statement lookup(
      database.db,
      "SELECT e.target FROM entries e WHERE e.pair = ?1 AND e.source = ?2 AND "
      "(e.context = 0 OR e.context = (SELECT id FROM contexts WHERE fingerprint = ?3)) "
      "ORDER BY e.context != 0 LIMIT 1");
  database.execute("BEGIN");
  try {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      lookup.bind(1, context.pair);
      lookup.bind(2, texts[i]);
      lookup.bind(3, context.fingerprint);
      if (lookup.step()) found[i] = lookup.text(0);
      lookup.reset();
    }
    database.execute("COMMIT");
  } catch (...) {
    sqlite3_exec(database.db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return found;
}

void MemoryStore::store(const MemoryContext& context,
                        const std::vector<std::pair<std::string_view, std::string_view>>& entries) {
  if (entries.empty()) return;
  Database& database = *database_;
  database.transaction([&] {
    const sqlite3_int64 id = database.contextId(context);
    Statement insert(database.db,
                     "INSERT OR REPLACE INTO entries(pair, source, context, target) "
                     "VALUES(?1, ?2, ?3, ?4)");
    for (const auto& [source, target] : entries) {
      insert.bind(1, context.pair);
      insert.bind(2, source);
      insert.bind(3, id);
      insert.bind(4, target);
      insert.step();
      insert.reset();
    }
  });
}

void MemoryStore::storeHuman(const std::vector<MemoryEntry>& entries) {
  Database& database = *database_;
  database.transaction([&] {
    Statement insert(database.db,
                     "INSERT OR REPLACE INTO entries(pair, source, context, target) "
                     "VALUES(?1, ?2, ?3, ?4)");
    for (const MemoryEntry& entry : entries) {
      insert.bind(1, entry.pair);
      insert.bind(2, entry.source);
      insert.bind(3, kHumanContext);
      insert.bind(4, entry.target);
      insert.step();
      insert.reset();
    }
  });
}

std::vector<MemoryEntry> MemoryStore::entries() {
  std::vector<MemoryEntry> all;
  Statement select(database_->db,
                   "SELECT pair, source, target, context = 0 FROM entries "
                   "ORDER BY pair, context != 0, source");
  while (select.step()) {
    all.push_back({select.text(0), select.text(1), select.text(2), select.number(3) != 0});
  }
  return all;
}

std::vector<MemoryCount> MemoryStore::counts() {
  std::vector<MemoryCount> all;
  Statement select(database_->db,
                   "SELECT pair, context = 0, count(*) FROM entries "
                   "GROUP BY pair, context = 0 ORDER BY pair, context = 0 DESC");
  while (select.step()) {
    all.push_back(
        {select.text(0), select.number(1) != 0, static_cast<std::uint64_t>(select.number(2))});
  }
  return all;
}

std::uint64_t MemoryStore::prune() {
  Database& database = *database_;
  std::uint64_t dropped = 0;
  database.transaction([&] {
    std::vector<sqlite3_int64> stale;
    {
      Statement select(database.db, "SELECT id, files FROM contexts WHERE files != ''");
      while (select.step()) {
        std::istringstream lines(select.text(1));
        std::string line;
        while (std::getline(lines, line)) {
          // "size mtime path": the path is what follows the second blank.
          const std::size_t first = line.find(' ');
          const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
          if (second == std::string::npos || fileStamp(line.substr(second + 1)) != line) {
            stale.push_back(select.number(0));
            break;
          }
        }
      }
    }
    Statement dropEntries(database.db, "DELETE FROM entries WHERE context = ?1");
    Statement dropContext(database.db, "DELETE FROM contexts WHERE id = ?1");
    for (const sqlite3_int64 id : stale) {
      dropEntries.bind(1, id);
      dropEntries.step();
      dropped += static_cast<std::uint64_t>(sqlite3_changes(database.db));
      dropEntries.reset();
      dropContext.bind(1, id);
      dropContext.step();
      dropContext.reset();
    }
  });
  return dropped;
}

}  // namespace zta
