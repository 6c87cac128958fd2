#include "journal_store.h"

#include "journal_body.h"

#include <fcntl.h>
#include <glib.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>

// One prepared statement, finalised on every path. A statement that is `kept`
// serves many runs (see run_once).
class JournalStatement {
  public:
    enum Use { once, kept };
    JournalStatement(sqlite3* db, const std::string& sql, Use use = once) {
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, use == kept ? SQLITE_PREPARE_PERSISTENT : 0,
                               &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~JournalStatement() { sqlite3_finalize(stmt_); }
    JournalStatement(const JournalStatement&) = delete;
    JournalStatement& operator=(const JournalStatement&) = delete;
    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    // Runs the statement once and makes it ready for the next bindings.
    bool run_once() {
        const bool done = step() == SQLITE_DONE;
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return done;
    }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void bind_null(int i) { sqlite3_bind_null(stmt_, i); }
    template <class T> void bind(int i, const std::optional<T>& v) {
        if (v)
            bind(i, std::int64_t{*v});
        else
            bind_null(i);
    }
    void bind_blob(int i, const std::string& v) {
        sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    std::string_view blob(int col) const {
        const auto* b = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
        return b ? std::string_view(b, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string_view();
    }
    std::string text(int col) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    bool is_null(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

using Statement = JournalStatement;

namespace {

// The list's columns live apart from the bulky records, so that a search reads a
// few megabytes even at a hundred thousand entries. `search` holds the texts a
// search looks in, case-folded; the list's index carries it with the amount, so
// that a search walks the index alone and reads only the entries it finds.
constexpr const char* kSchema = R"(
CREATE TABLE entry(
    id          INTEGER PRIMARY KEY,
    started_ms  INTEGER NOT NULL,
    ended_ms    INTEGER NOT NULL,
    operation   TEXT NOT NULL,
    amount      INTEGER,
    invoice     TEXT NOT NULL,
    status      TEXT NOT NULL,
    result_code INTEGER,
    result_text TEXT NOT NULL,
    host_text   TEXT NOT NULL,
    search      TEXT NOT NULL DEFAULT ''
);
CREATE INDEX entry_list ON entry(started_ms, id, amount, search);
CREATE INDEX entry_start ON entry(started_ms);
CREATE TABLE entry_detail(
    id     INTEGER PRIMARY KEY REFERENCES entry(id) ON DELETE CASCADE,
    detail BLOB NOT NULL
);
CREATE TABLE setting(key TEXT PRIMARY KEY, value TEXT NOT NULL);
)";

// A journal of schema 1 (no search column, a list index without it) becomes one of
// schema 2.
constexpr const char* kUpgradeFrom1 = R"(
ALTER TABLE entry ADD COLUMN search TEXT NOT NULL DEFAULT '';
UPDATE entry SET search = journal_search_text(operation, invoice, status, host_text);
DROP INDEX entry_by_start;
CREATE INDEX entry_list ON entry(started_ms, id, amount, search);
)";

// Schema 3 keeps an entry's body compressed (journal_body.h) in the same column; the
// bodies of schema 2 stay JSON text, which is read as before. The version goes up
// so that an older console refuses a journal whose bodies it cannot read. Its narrow
// index of start times lets the page count a million entries in tens of milliseconds
// (the list's index, with the search texts, is ten times its size).
constexpr const char* kUpgradeFrom2 = "CREATE INDEX entry_start ON entry(started_ms);";

// Schema 4 indexes the search texts by their three-character pieces, so that a
// search of three characters or more finds its entries without walking the list, and
// the amounts, for a search that reads as one. The text index reads its texts from
// the entry table (it keeps no copy) and follows it through triggers, also when the
// old entries are deleted.
constexpr const char* kTextIndex = R"(
CREATE VIRTUAL TABLE entry_text USING fts5(search, content='entry', content_rowid='id',
    tokenize='trigram case_sensitive 1');
CREATE TRIGGER entry_text_add AFTER INSERT ON entry BEGIN
    INSERT INTO entry_text(rowid, search) VALUES(new.id, new.search);
END;
CREATE TRIGGER entry_text_remove AFTER DELETE ON entry BEGIN
    INSERT INTO entry_text(entry_text, rowid, search) VALUES('delete', old.id, old.search);
END;
CREATE TRIGGER entry_text_change AFTER UPDATE OF search ON entry BEGIN
    INSERT INTO entry_text(entry_text, rowid, search) VALUES('delete', old.id, old.search);
    INSERT INTO entry_text(rowid, search) VALUES(new.id, new.search);
END;
CREATE INDEX entry_amount ON entry(amount);
)";
constexpr const char* kUpgradeFrom3 = "INSERT INTO entry_text(entry_text) VALUES('rebuild');";

constexpr const char* kSummaryColumns =
    "e.id, e.started_ms, e.ended_ms, e.operation, e.amount, e.invoice, e.status, e.result_code, "
    "e.result_text, e.host_text";


bool exec(sqlite3* db, const char* sql, std::string* error = nullptr) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

// "1250" or "12.50" (or "12,50") as minor units; nothing when the text is no amount.
std::optional<std::int64_t> amount_of(const std::string& text) {
    if (text.empty() || text.size() > 15)
        return std::nullopt;
    std::int64_t units = 0;
    int decimals = -1;
    for (char c : text) {
        if ((c == '.' || c == ',') && decimals < 0) {
            decimals = 0;
        } else if (c >= '0' && c <= '9') {
            units = units * 10 + (c - '0');
            if (decimals >= 0 && ++decimals > 2)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (decimals == 1)
        units *= 10;
    else if (decimals == 0)
        units *= 100;
    return units;
}

// Texts compared in any case, also beyond ASCII ("ZAMÍTNUTO" finds "zamítnuto").
std::string folded(const std::string& text) {
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    gchar* fold = g_utf8_casefold(valid, -1);
    std::string result = fold;
    g_free(fold);
    g_free(valid);
    return result;
}

// The texts a search looks in, apart (a unit separator), so that no match spans two.
std::string search_text(const std::string& operation, const std::string& invoice,
                        const std::string& status, const std::string& host_text) {
    return folded(operation + '\x1f' + invoice + '\x1f' + status + '\x1f' + host_text);
}

// journal_search_text(operation, invoice, status, host_text) in SQL, for the upgrade.
void search_text_sql(sqlite3_context* context, int, sqlite3_value** args) {
    auto arg = [&](int i) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(args[i]));
        return t ? std::string(t) : std::string();
    };
    const std::string text = search_text(arg(0), arg(1), arg(2), arg(3));
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The WHERE clause of a query and its parameters, in order.
struct Filter {
    std::string sql = " WHERE 1";
    std::vector<std::string> texts;    // bound first, in order
    std::vector<std::int64_t> numbers; // then these
    bool text = false;    // a text to search for
    bool indexed = false; // its entries are found through the indexes, by id
    bool many = false;    // more than JournalStore::kCountLimit entries match the text
};

// How many rows `sql` gives with ?1 bound to `value`, counting up to `limit` + 1.
template <typename T>
std::int64_t rows_up_to(sqlite3* db, const char* sql, const T& value, std::int64_t limit) {
    Statement st(db, std::string("SELECT count(*) FROM (") + sql + " LIMIT ?2)");
    st.bind(1, value);
    st.bind(2, limit + 1);
    return st.step() == SQLITE_ROW ? st.integer(0) : limit + 1;
}

// A search of three characters or more is looked up in the text index; when it and
// the amount it reads as each find at most kCountLimit entries, those are read by id
// and sorted. A shorter search, or one that finds more (and so finds a page of them
// soon among the newest entries), walks the list's index from the newest entry.
Filter filter_of(sqlite3* db, const JournalQuery& q) {
    Filter f;
    // Blanks around a search are the search field's, not the operator's: "12.50 "
    // is an amount.
    const auto first = q.text.find_first_not_of(" \t");
    const std::string text = first == std::string::npos
                                 ? ""
                                 : q.text.substr(first, q.text.find_last_not_of(" \t") - first + 1);
    if (text.empty())
        return f;
    f.text = true;
    const std::string fold = folded(text);
    const std::optional<std::int64_t> amount = amount_of(text);
    constexpr std::int64_t limit = JournalStore::kCountLimit;
    if (g_utf8_strlen(fold.c_str(), -1) >= 3) {
        // One phrase of the index's three-character pieces: the text itself, any
        // character in it taken as it is.
        std::string phrase = "\"";
        for (char c : fold)
            phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
        phrase += '"';
        f.many = rows_up_to(db, "SELECT 1 FROM entry_text WHERE entry_text MATCH ?1", phrase,
                            limit) > limit;
        f.indexed = !f.many && (!amount || rows_up_to(db, "SELECT 1 FROM entry WHERE amount = ?1",
                                                      *amount, limit) <= limit);
        if (f.indexed) {
            f.sql = " WHERE e.id IN (SELECT rowid FROM entry_text WHERE entry_text MATCH ?1";
            f.texts.push_back(phrase);
            if (amount) {
                f.sql += " UNION SELECT id FROM entry WHERE amount = ?2";
                f.numbers.push_back(*amount);
            }
            f.sql += ")";
            return f;
        }
    }
    // instr, not LIKE: the operator's "%" or "_" are characters like any other.
    f.sql += " AND (instr(e.search, ?1) > 0";
    f.texts.push_back(fold);
    if (amount) {
        f.sql += " OR e.amount = ?2";
        f.numbers.push_back(*amount);
    }
    f.sql += ")";
    return f;
}

// Binds the filter and the date range; returns the next free parameter number.
int bind_filter(Statement& st, const Filter& f, const JournalQuery& q) {
    int next = 1;
    for (const std::string& t : f.texts)
        st.bind(next++, t);
    for (std::int64_t n : f.numbers)
        st.bind(next++, n);
    // The range is always in the statement; an open end binds the extreme value.
    st.bind(next++, q.from_ms.value_or(INT64_MIN));
    st.bind(next++, q.to_ms.value_or(INT64_MAX));
    return next;
}

// The date range, and the start column as the filter compares it: found by id, the
// entries are checked one by one rather than walked through an index of starts.
std::string start_of(const Filter& f) {
    return f.indexed ? "+e.started_ms" : "e.started_ms";
}

std::string range_sql(const Filter& f, int first) {
    return " AND " + start_of(f) + " >= ?" + std::to_string(first) + " AND " + start_of(f) +
           " < ?" + std::to_string(first + 1);
}

JournalEntry summary_of(const Statement& st) {
    JournalEntry e;
    e.id = st.integer(0);
    e.started_ms = st.integer(1);
    e.ended_ms = st.integer(2);
    e.operation = st.text(3);
    e.amount = st.is_null(4) ? "" : std::to_string(st.integer(4));
    e.invoice = st.text(5);
    e.status = st.text(6);
    if (!st.is_null(7))
        e.result_code = static_cast<int>(st.integer(7));
    e.result_text = st.text(8);
    e.host_text = st.text(9);
    return e;
}

} // namespace

std::string journal_path(const std::string& folder) {
    return folder.empty() ? "journal.db" : folder + "/journal.db";
}

std::unique_ptr<JournalStore> JournalStore::open(const std::string& path, std::string* error) {
    // The file is the operator's alone, from its first byte (SQLite gives its
    // -wal and -shm files the same permissions).
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = "cannot open " + path + ": " + g_strerror(errno);
        return nullptr;
    }
    // An existing file (and its -wal, -shm) is made the operator's alone as well.
    fchmod(fd, 0600);
    ::close(fd);
    for (const char* suffix : {"-wal", "-shm"})
        chmod((path + suffix).c_str(), 0600);

    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto fail = [&](const std::string& why) -> std::unique_ptr<JournalStore> {
        if (error)
            *error = path + ": " + why;
        sqlite3_close(db);
        return nullptr;
    };
    if (rc != SQLITE_OK)
        return fail(db ? sqlite3_errmsg(db) : "cannot open");
    if (sqlite3_db_readonly(db, "main") == 1)
        return fail("the file is read-only");
    sqlite3_busy_timeout(db, 2000);

    std::string why;
    // Turning a new file to write-ahead logging does not wait for the lock: when
    // another connection holds it at that moment the switch is tried again. A commit
    // is not synced by itself (NORMAL): the process can end any way it likes without
    // losing one, since it is in the system's hands once committed; the writer puts
    // it on disk with sync() as soon as it has nothing else to write, a few
    // milliseconds later. The log is copied into the file by checkpoint() (see
    // logged()).
    for (int tries = 1; !exec(db,
                              "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                              "PRAGMA foreign_keys=ON;",
                              &why);
         ++tries) {
        if (sqlite3_errcode(db) != SQLITE_BUSY || tries == 100)
            return fail(why);
        g_usleep(20'000);
    }
    auto schema_version = [db] {
        Statement st(db, "PRAGMA user_version");
        return st.step() == SQLITE_ROW ? static_cast<int>(st.integer(0)) : -1;
    };
    int version = schema_version();
    if (version < 0)
        return fail(sqlite3_errmsg(db));
    if (version < kSchemaVersion) {
        // Set up or upgraded by one connection: another one opening the journal at
        // the same moment waits here, then finds it done.
        sqlite3_create_function_v2(db, "journal_search_text", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, search_text_sql, nullptr, nullptr, nullptr);
        if (!exec(db, "BEGIN IMMEDIATE", &why))
            return fail(why);
        version = schema_version();
        bool empty = false;
        if (version == 0) {
            Statement st(db, "SELECT count(*) FROM sqlite_master");
            empty = st.step() == SQLITE_ROW && st.integer(0) == 0;
        }
        std::string steps; // nothing when another connection has just done it
        const int found = version;
        if (version == 0 && !empty) {
            exec(db, "ROLLBACK");
            return fail("not a journal (a database of another kind)");
        }
        if (version == 0)
            steps = std::string(kSchema) + kTextIndex;
        else if (version == 1)
            steps = std::string(kUpgradeFrom1) + kUpgradeFrom2 + kTextIndex + kUpgradeFrom3;
        else if (version == 2)
            steps = std::string(kUpgradeFrom2) + kTextIndex + kUpgradeFrom3;
        else if (version == 3)
            steps = std::string(kTextIndex) + kUpgradeFrom3;
        if (found < kSchemaVersion && found >= 0)
            steps += "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
        if (!exec(db, (steps + "COMMIT;").c_str(), &why)) {
            exec(db, "ROLLBACK");
            return fail(why);
        }
    }
    if (version > kSchemaVersion)
        return fail("written by a newer version of the console (schema " + std::to_string(version) +
                    ")");
    return std::unique_ptr<JournalStore>(new JournalStore(db));
}

JournalStore::~JournalStore() {
    insert_entry_.reset();
    insert_body_.reset();
    sqlite3_close(db_);
}

namespace {

// Binds the entry's summary to the writer's INSERT INTO entry.
void bind_summary(Statement& st, const JournalEntry& e) {
    st.bind(1, e.started_ms);
    st.bind(2, e.ended_ms);
    st.bind(3, e.operation);
    st.bind(4, amount_of(e.amount));
    st.bind(5, e.invoice);
    st.bind(6, e.status);
    st.bind(7, e.result_code);
    st.bind(8, e.result_text);
    st.bind(9, e.host_text);
    st.bind(10, search_text(e.operation, e.invoice, e.status, e.host_text));
}

} // namespace

bool JournalStore::append(JournalEntry& entry, std::string* error) {
    return append(std::span<JournalEntry>(&entry, 1), error);
}

bool JournalStore::append(std::span<JournalEntry> entries, std::string* error) {
    auto failed = [&] {
        if (error)
            *error = sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK");
        return false;
    };
    // Prepared once per connection: an append of a sale is mostly these two inserts.
    if (!insert_entry_)
        insert_entry_ = std::make_unique<Statement>(
            db_,
            "INSERT INTO entry(started_ms, ended_ms, operation, amount, invoice, status, "
            "result_code, result_text, host_text, search) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
            Statement::kept);
    if (!insert_body_)
        insert_body_ = std::make_unique<Statement>(
            db_, "INSERT INTO entry_detail(id, detail) VALUES(?1, ?2)", Statement::kept);
    if (!*insert_entry_ || !*insert_body_) {
        insert_entry_.reset();
        insert_body_.reset();
        return failed();
    }
    if (!exec(db_, "BEGIN", error))
        return false;
    std::vector<std::int64_t> ids;
    ids.reserve(entries.size());
    for (const JournalEntry& e : entries) {
        bind_summary(*insert_entry_, e);
        if (!insert_entry_->run_once())
            return failed();
        ids.push_back(sqlite3_last_insert_rowid(db_));
        const std::string body = pack_entry_body(e);
        insert_body_->bind(1, ids.back());
        insert_body_->bind_blob(2, body);
        if (!insert_body_->run_once())
            return failed();
    }
    if (!exec(db_, "COMMIT", error))
        return failed();
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].id = ids[i];
    return true;
}

JournalStore::JournalStore(sqlite3* db) : db_(db) {
    sqlite3_wal_hook(db_, &JournalStore::logged, this);
}

// After each commit: the log's size, and the checkpoint of a log grown too long
// (this hook takes the place of SQLite's own automatic checkpoints).
int JournalStore::logged(void* store, sqlite3* db, const char* name, int pages) {
    auto* self = static_cast<JournalStore*>(store);
    self->log_pages_ = pages;
    if (pages >= kLogLimitPages)
        self->checkpoint();
    (void)db;
    (void)name;
    return SQLITE_OK;
}

void JournalStore::checkpoint() {
    int pages = 0;
    int copied = 0;
    if (sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, &pages, &copied) ==
            SQLITE_OK &&
        copied == pages)
        log_pages_ = 0; // the next commit starts the log again
}

void JournalStore::merge_text_index_when_asked() {
    exec(db_, "INSERT INTO entry_text(entry_text, rank) VALUES('automerge', 0)");
}

bool JournalStore::merge_text_index() {
    const int before = sqlite3_total_changes(db_);
    if (!exec(db_, ("INSERT INTO entry_text(entry_text, rank) VALUES('merge', " +
                    std::to_string(kMergePages) + ")")
                       .c_str()))
        return false;
    // A merge that wrote a page or more may have more to do.
    return sqlite3_total_changes(db_) - before >= 2;
}

bool JournalStore::sync() {
    const char* file = sqlite3_db_filename(db_, "main");
    const char* wal = file ? sqlite3_filename_wal(file) : nullptr;
    const int fd = wal ? ::open(wal, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0)
        return errno == ENOENT; // no log: nothing written since the last checkpoint
    const bool synced = ::fdatasync(fd) == 0;
    ::close(fd);
    return synced;
}

void JournalStore::set_full_sync(bool full) {
    exec(db_, full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
}

int JournalStore::purge_expired(std::int64_t now_ms) {
    std::int64_t newest = now_ms;
    {
        Statement st(db_, "SELECT max(started_ms) FROM entry");
        if (st.step() == SQLITE_ROW && !st.is_null(0))
            newest = std::min(newest, st.integer(0));
    }
    Statement st(db_, "DELETE FROM entry WHERE started_ms < ?1");
    st.bind(1, newest - std::int64_t{keep_days()} * 86'400'000);
    if (st.step() != SQLITE_DONE)
        return 0;
    return sqlite3_changes(db_);
}

int JournalStore::keep_days() {
    Statement st(db_, "SELECT value FROM setting WHERE key = 'keep_days'");
    if (st.step() == SQLITE_ROW)
        if (const int days = std::atoi(st.text(0).c_str()); days > 0)
            return days;
    return kDefaultKeepDays;
}

bool JournalStore::set_keep_days(int days) {
    if (days <= 0)
        return false;
    Statement st(db_, "INSERT INTO setting(key, value) VALUES('keep_days', ?1) "
                      "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    st.bind(1, std::to_string(days));
    return st.step() == SQLITE_DONE;
}

std::vector<JournalEntry> JournalStore::find(const JournalQuery& query, const JournalEntry* after,
                                             int limit, bool full) {
    const Filter f = filter_of(db_, query);
    const int range_first = static_cast<int>(f.texts.size() + f.numbers.size()) + 1;
    std::string sql = std::string("SELECT ") + kSummaryColumns + (full ? ", d.detail" : "") +
                      " FROM entry e" + (full ? " LEFT JOIN entry_detail d ON d.id = e.id" : "") +
                      f.sql + range_sql(f, range_first);
    if (after)
        sql += " AND (" + start_of(f) + ", e.id) < (?" + std::to_string(range_first + 2) + ", ?" +
               std::to_string(range_first + 3) + ")";
    sql += " ORDER BY e.started_ms DESC, e.id DESC LIMIT ?" +
           std::to_string(range_first + (after ? 4 : 2));
    Statement st(db_, sql);
    std::vector<JournalEntry> entries;
    if (!st)
        return entries;
    int next = bind_filter(st, f, query);
    if (after) {
        st.bind(next++, after->started_ms);
        st.bind(next++, after->id);
    }
    st.bind(next, static_cast<std::int64_t>(limit));
    while (st.step() == SQLITE_ROW) {
        entries.push_back(summary_of(st));
        if (full)
            unpack_entry_body(st.blob(10), entries.back());
    }
    return entries;
}

std::int64_t JournalStore::count(const JournalQuery& query) {
    // Everything: a count without a condition walks the narrow index alone.
    if (query.text.find_first_not_of(" \t") == std::string::npos && !query.from_ms &&
        !query.to_ms) {
        Statement st(db_, "SELECT count(*) FROM entry");
        return st.step() == SQLITE_ROW ? st.integer(0) : 0;
    }
    const Filter f = filter_of(db_, query);
    if (f.many && !query.from_ms && !query.to_ms)
        return kCountLimit + 1;
    const int range_first = static_cast<int>(f.texts.size() + f.numbers.size()) + 1;
    std::string sql = "SELECT 1 FROM entry e" + f.sql + range_sql(f, range_first);
    // Days alone are counted in full through the index of starts; a search stops
    // counting past the limit.
    if (f.text)
        sql += " LIMIT " + std::to_string(kCountLimit + 1);
    sql = "SELECT count(*) FROM (" + sql + ")";
    Statement st(db_, sql);
    if (!st)
        return 0;
    bind_filter(st, f, query);
    return st.step() == SQLITE_ROW ? st.integer(0) : 0;
}

std::optional<JournalEntry> JournalStore::entry(std::int64_t id) {
    Statement st(db_, std::string("SELECT ") + kSummaryColumns +
                          ", d.detail FROM entry e LEFT JOIN entry_detail d ON d.id = e.id "
                          "WHERE e.id = ?1");
    st.bind(1, id);
    if (st.step() != SQLITE_ROW)
        return std::nullopt;
    JournalEntry e = summary_of(st);
    unpack_entry_body(st.blob(10), e);
    return e;
}

void JournalStore::for_each(const JournalQuery& query,
                            const std::function<bool(const JournalEntry&)>& each) {
    // Page by page, so that an export of the whole journal holds one page at a time.
    std::optional<JournalEntry> last;
    for (;;) {
        std::vector<JournalEntry> page = find(query, last ? &*last : nullptr, 500, true);
        for (const JournalEntry& e : page)
            if (!each(e))
                return;
        if (page.size() < 500)
            return;
        last = std::move(page.back());
    }
}

std::vector<JournalEntry> JournalStore::all(const JournalQuery& query) {
    std::vector<JournalEntry> entries;
    for (std::optional<JournalEntry> last;;) {
        std::vector<JournalEntry> page = find(query, last ? &*last : nullptr, 500, true);
        const bool more = page.size() == 500;
        if (more)
            last = page.back();
        entries.insert(entries.end(), std::make_move_iterator(page.begin()),
                       std::make_move_iterator(page.end()));
        if (!more)
            return entries;
    }
}
