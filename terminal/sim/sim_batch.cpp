#include "sim_batch.h"

#include "korvex_sim.h"
#include "sim_core.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include <sqlite3.h>

namespace sim {
namespace {

constexpr const char* kFileName = "batch.db";
// The text state file of earlier versions.
constexpr const char* kTextHeader = "korvex-sim batch 1";
constexpr const char* kTextFileName = "batch.state";

// Every field of a record, by the key it has in the state file. A field added to
// TxnRecord needs one row here to be kept across restarts.
struct Field {
    const char* key;
    std::string TxnRecord::*member;
};
constexpr Field kFields[] = {
    {"message_number", &TxnRecord::message_number},
    {"type", &TxnRecord::type},
    {"amount1", &TxnRecord::amount1},
    {"amount2", &TxnRecord::amount2},
    {"amount3", &TxnRecord::amount3},
    {"amount4", &TxnRecord::amount4},
    {"label1", &TxnRecord::label1},
    {"label2", &TxnRecord::label2},
    {"label3", &TxnRecord::label3},
    {"label4", &TxnRecord::label4},
    {"custom_line1", &TxnRecord::custom_line1},
    {"cashier_id", &TxnRecord::cashier_id},
    {"table_id", &TxnRecord::table_id},
    {"commercial_code", &TxnRecord::commercial_code},
    {"suspected_fraud", &TxnRecord::suspected_fraud},
    {"status", &TxnRecord::status},
    {"invoice", &TxnRecord::invoice},
    {"batch_number", &TxnRecord::batch_number},
    {"auth_code", &TxnRecord::auth_code},
    {"acquirer_response", &TxnRecord::acquirer_response},
    {"rrn", &TxnRecord::rrn},
    {"date_time", &TxnRecord::date_time},
    {"total", &TxnRecord::total},
    {"additional", &TxnRecord::additional},
    {"currency", &TxnRecord::currency},
    {"currency_exponent", &TxnRecord::currency_exponent},
    {"card_currency", &TxnRecord::card_currency},
    {"card_currency_exponent", &TxnRecord::card_currency_exponent},
    {"entry_method", &TxnRecord::entry_method},
    {"card_scheme", &TxnRecord::card_scheme},
    {"pan", &TxnRecord::pan},
    {"start_date", &TxnRecord::start_date},
    {"expiry_date", &TxnRecord::expiry_date},
    {"pan_sequence", &TxnRecord::pan_sequence},
    {"cardholder_name", &TxnRecord::cardholder_name},
    {"emv_expiry_date", &TxnRecord::emv_expiry_date},
    {"app_effective_date", &TxnRecord::app_effective_date},
    {"aid", &TxnRecord::aid},
    {"app_label", &TxnRecord::app_label},
    {"app_preferred_name", &TxnRecord::app_preferred_name},
    {"emv_txn_type", &TxnRecord::emv_txn_type},
    {"cryptogram", &TxnRecord::cryptogram},
    {"custom_line2", &TxnRecord::custom_line2},
    {"custom_line3", &TxnRecord::custom_line3},
    {"custom_line4", &TxnRecord::custom_line4},
    {"pre_auth_ref", &TxnRecord::pre_auth_ref},
    {"host_text", &TxnRecord::host_text},
    {"available_balance", &TxnRecord::available_balance},
    {"is_dcc", &TxnRecord::is_dcc},
    {"dcc_amount", &TxnRecord::dcc_amount},
    {"conversion_rate", &TxnRecord::conversion_rate},
    {"fx_exponent", &TxnRecord::fx_exponent},
    {"commission", &TxnRecord::commission},
    {"fx_markup", &TxnRecord::fx_markup},
    {"tax_free_required", &TxnRecord::tax_free_required},
    {"commercial_code_data", &TxnRecord::commercial_code_data},
    {"donation_amount", &TxnRecord::donation_amount},
    {"avs_response", &TxnRecord::avs_response},
    {"partial_amount", &TxnRecord::partial_amount},
    {"closed_by", &TxnRecord::closed_by},
    {"held_amount", &TxnRecord::held_amount},
    {"tip", &TxnRecord::tip},
};

// Values may hold anything the operator typed; tabs and line ends would break the
// line format, so they are escaped.
std::string escape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += value[i];
        }
    }
    return out;
}

bool all_digits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

std::string strip_leading_zeros(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

bool same_invoice(const std::string& a, const std::string& b) {
    if (all_digits(a) && all_digits(b))
        return strip_leading_zeros(a) == strip_leading_zeros(b);
    return a == b;
}

// A stored counter; a damaged value gives the fallback. The bound keeps the batch
// number within an int and leaves every counter room to count on.
long number_or(const std::string& text, long fallback) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return (end != text.c_str() && *end == '\0' && value > 0 && value < INT_MAX) ? value
                                                                                 : fallback;
}

// The state file of earlier versions (one text line a record), imported once into
// the database and then renamed, so that an open batch survives the upgrade.
void load_text_file(const std::string& path, Batch& b) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line) || line != kTextHeader)
        return;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        const std::string tag = line.substr(0, tab);
        const std::string rest = tab == std::string::npos ? "" : line.substr(tab + 1);
        if (tag == "txn" || tag == "last") {
            TxnRecord txn;
            if (!deserialize(rest, txn))
                continue;
            if (tag == "txn")
                b.transactions.push_back(std::move(txn));
            else
                b.last = std::move(txn);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "batch_number")
            b.batch_number = static_cast<int>(number_or(value, 1));
        else if (key == "next_invoice")
            b.next_invoice = number_or(value, 1);
        else if (key == "next_sequence")
            b.next_sequence = number_or(value, 1);
    }
}

// One prepared statement, reset after each use.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int i, const std::string& text) {
        sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, long value) {
        sqlite3_bind_int64(stmt_, i, value);
        return *this;
    }
    // Runs a statement that returns no rows.
    bool run() {
        const int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return rc == SQLITE_DONE;
    }
    bool next_row() { return sqlite3_step(stmt_) == SQLITE_ROW; }
    void done() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    long number(int column) { return static_cast<long>(sqlite3_column_int64(stmt_, column)); }
    std::string text(int column) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return bytes ? std::string(bytes,
                                   static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                     : std::string();
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA synchronous=FULL;"
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS txn(id INTEGER PRIMARY KEY, batch INTEGER NOT NULL,"
    " record TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS txn_batch ON txn(batch);";

// The open database and its statements. Null `db` when the state folder cannot
// hold one: the terminal then works from memory and says so at each save.
struct Store {
    sqlite3* db = nullptr;
    std::unique_ptr<Statement> begin, begin_read, commit, rollback, put_meta, insert_txn,
        update_txn, data_version;
    // data_version when the batch in memory was read or last written here: another
    // connection's commit changes it.
    long seen_version = -1;

    bool open(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK ||
            sqlite3_busy_timeout(db, 5000) != SQLITE_OK ||
            sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
            close();
            return false;
        }
        begin = std::make_unique<Statement>(db, "BEGIN IMMEDIATE");
        begin_read = std::make_unique<Statement>(db, "BEGIN");
        data_version = std::make_unique<Statement>(db, "PRAGMA data_version");
        commit = std::make_unique<Statement>(db, "COMMIT");
        rollback = std::make_unique<Statement>(db, "ROLLBACK");
        put_meta = std::make_unique<Statement>(
            db, "INSERT INTO meta(key, value) VALUES(?1, ?2)"
                " ON CONFLICT(key) DO UPDATE SET value = excluded.value");
        insert_txn =
            std::make_unique<Statement>(db, "INSERT INTO txn(batch, record) VALUES(?1, ?2)");
        update_txn = std::make_unique<Statement>(db, "UPDATE txn SET record = ?2 WHERE id = ?1");
        return true;
    }

    void close() {
        begin.reset();
        begin_read.reset();
        data_version.reset();
        seen_version = -1;
        commit.reset();
        rollback.reset();
        put_meta.reset();
        insert_txn.reset();
        update_txn.reset();
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }

    bool exec(const char* sql) {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    long version() {
        const long v = data_version->next_row() ? data_version->number(0) : -2;
        data_version->done();
        return v;
    }
};

struct Journal {
    bool loaded = false;
    Batch batch;
    Store store;
};

Journal& journal() {
    // Never destroyed: a transaction may outlive exit(), and the store stays open
    // to the end (every approved transaction is already committed).
    static Journal& j = *new Journal;
    return j;
}

std::string meta_value(sqlite3* db, const char* key) {
    Statement get(db, "SELECT value FROM meta WHERE key = ?1");
    get.bind(1, std::string(key));
    std::string value = get.ok() && get.next_row() ? get.text(0) : "";
    get.done();
    return value;
}

std::vector<TxnRecord> transactions_of(sqlite3* db, long batch_number) {
    std::vector<TxnRecord> out;
    Statement rows(db, "SELECT id, record FROM txn WHERE batch = ?1 ORDER BY id");
    rows.bind(1, batch_number);
    while (rows.ok() && rows.next_row()) {
        TxnRecord txn;
        if (!deserialize(rows.text(1), txn))
            continue;
        txn.id = rows.number(0);
        out.push_back(std::move(txn));
    }
    rows.done();
    return out;
}

void read_store(sqlite3* db, Batch& b) {
    b = Batch{};
    b.batch_number = static_cast<int>(number_or(meta_value(db, "batch_number"), 1));
    b.next_invoice = number_or(meta_value(db, "next_invoice"), 1);
    b.next_sequence = number_or(meta_value(db, "next_sequence"), 1);
    b.closed_batch_number = static_cast<int>(number_or(meta_value(db, "closed_batch"), 0));
    b.closed_date_time = meta_value(db, "closed_date_time");
    TxnRecord last;
    if (deserialize(meta_value(db, "last"), last))
        b.last = std::move(last);
    b.transactions = transactions_of(db, b.batch_number);
    if (b.closed_batch_number > 0)
        b.closed = transactions_of(db, b.closed_batch_number);
}

bool write_meta(Store& s, const Batch& b) {
    bool ok = s.put_meta->bind(1, std::string("batch_number"))
                  .bind(2, std::to_string(b.batch_number))
                  .run();
    ok = ok && s.put_meta->bind(1, std::string("next_invoice"))
                   .bind(2, std::to_string(b.next_invoice))
                   .run();
    ok = ok && s.put_meta->bind(1, std::string("next_sequence"))
                   .bind(2, std::to_string(b.next_sequence))
                   .run();
    ok = ok && s.put_meta->bind(1, std::string("closed_batch"))
                   .bind(2, std::to_string(b.closed_batch_number))
                   .run();
    ok = ok &&
         s.put_meta->bind(1, std::string("closed_date_time")).bind(2, b.closed_date_time).run();
    if (b.last)
        ok = ok && s.put_meta->bind(1, std::string("last")).bind(2, serialize(*b.last)).run();
    return ok;
}

bool write_record(Store& s, const Batch& b, TxnRecord& txn) {
    if (txn.id != 0)
        return s.update_txn->bind(1, txn.id).bind(2, serialize(txn)).run();
    if (!s.insert_txn->bind(1, static_cast<long>(b.batch_number)).bind(2, serialize(txn)).run())
        return false;
    txn.id = static_cast<long>(sqlite3_last_insert_rowid(s.db));
    return true;
}

// Says on standard error what went wrong with the database; SQLite's own message
// says why (errno, which report() adds, means nothing here).
void report_store(const std::string& what) {
    std::fprintf(stderr, "korvex-sim: %s\n", what.c_str());
}

// Reads the whole batch as one state of the file.
bool read_current(Store& s, Batch& b) {
    const long version = s.version(); // first: a commit after it is seen next time
    if (!s.begin_read->run())
        return false;
    read_store(s.db, b);
    s.commit->run();
    s.seen_version = version;
    return true;
}

// Reads the batch again when another connection has committed since it was read.
// Called inside a transaction, so that what is read is one state of the file.
void refresh(Store& s, Batch& b) {
    const long version = s.version();
    if (version == s.seen_version)
        return;
    read_store(s.db, b);
    s.seen_version = version;
}

// Runs `body` inside one write transaction, on the batch as it is on disk; nothing
// of it stays when it fails. The busy timeout lets another process's change end.
template <class Body> bool in_transaction(Store& s, Batch& b, const char* what, Body&& body) {
    if (!s.db) {
        report_store(std::string("the batch is not kept (no database): ") + what);
        return false;
    }
    if (!s.begin->run()) {
        report_store(std::string("cannot start saving the batch: ") + sqlite3_errmsg(s.db));
        return false;
    }
    refresh(s, b);
    if (body() && s.commit->run())
        return true;
    report_store(std::string("cannot save the batch (") + what + "): " + sqlite3_errmsg(s.db));
    s.rollback->run();
    return false;
}

// Moves a file that SQLite cannot read out of the way (kept for whoever wants to
// look at it) so that the terminal starts on an empty batch instead of none.
void set_aside(const std::string& path) {
    const std::string aside = path + ".unreadable";
    for (const char* suffix : {"", "-wal", "-shm"})
        std::rename((path + suffix).c_str(), (aside + suffix).c_str());
    report_store("the batch database " + path + " cannot be read; moved to " + aside);
}

// The state folder holds the batch with its card data: the folder and every file in
// it are the tester's alone, also when an older version left them readable.
void keep_owner_only(const std::string& dir) {
    chmod(dir.c_str(), 0700);
    DIR* folder = opendir(dir.c_str());
    if (!folder)
        return;
    while (const dirent* entry = readdir(folder)) {
        const std::string path = dir + "/" + entry->d_name;
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
            chmod(path.c_str(), 0600);
    }
    closedir(folder);
}

void open_store(Journal& j) {
    const std::string dir = state_dir();
    if (!make_dirs(dir)) {
        report("cannot create the state folder " + dir);
        return;
    }
    const std::string path = batch_file_path();
    // Created owner-only before SQLite opens it; its -wal and -shm follow its mode.
    if (const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600); fd >= 0)
        close(fd);
    keep_owner_only(dir);
    if (!j.store.open(path)) {
        if (access(path.c_str(), F_OK) == 0)
            set_aside(path);
        if (!j.store.open(path)) {
            report_store("cannot open the batch database " + path);
            return;
        }
    }
    const bool fresh = meta_value(j.store.db, "batch_number").empty();
    j.store.seen_version = -1;
    Batch read;
    if (!read_current(j.store, read))
        return;
    j.batch = std::move(read);

    const std::string text_file = dir + "/" + kTextFileName;
    if (!fresh || access(text_file.c_str(), F_OK) != 0)
        return;
    Batch imported;
    load_text_file(text_file, imported);
    const bool saved = in_transaction(j.store, j.batch, "import", [&] {
        if (!meta_value(j.store.db, "batch_number").empty())
            return false; // another process imported it meanwhile
        j.batch = imported;
        bool ok = write_meta(j.store, j.batch);
        for (TxnRecord& txn : j.batch.transactions)
            ok = ok && write_record(j.store, j.batch, txn);
        return ok;
    });
    if (saved)
        std::rename(text_file.c_str(), (text_file + ".imported").c_str());
    else
        j.store.seen_version = -1; // read again at the next use
}

} // namespace

int TxnRecord::type_number() const {
    if (type.size() != 2 || !all_digits(type))
        return -1;
    const int n = (type[0] - '0') * 10 + (type[1] - '0');
    return n < kTxnTypeCount ? n : -1;
}

std::string batch_file_path() {
    return state_dir() + "/" + kFileName;
}

namespace {
Journal& loaded_journal() {
    Journal& j = journal();
    if (!j.loaded) {
        j.batch = Batch{};
        open_store(j);
        j.loaded = true;
    }
    return j;
}
} // namespace

Batch& batch() {
    Journal& j = loaded_journal();
    if (j.store.db && j.store.version() != j.store.seen_version) {
        Batch read;
        if (read_current(j.store, read))
            j.batch = std::move(read);
    }
    return j.batch;
}

void reload_batch() {
    Journal& j = journal();
    j.store.close();
    j.batch = Batch{};
    j.loaded = false;
}

bool change_batch(const char* what, const BatchChange& change, bool durable) {
    Journal& j = loaded_journal();
    Batch& b = j.batch;
    Store& s = j.store;
    if (!durable && s.db)
        s.exec("PRAGMA synchronous=NORMAL");
    bool ran = false;
    const bool saved = in_transaction(s, b, what, [&] {
        ran = true;
        const int closed_before = b.closed_batch_number;
        std::vector<TxnRecord*> changed;
        if (!change(b, changed))
            return true;
        bool ok = write_meta(s, b);
        for (TxnRecord* txn : changed)
            if (txn)
                ok = ok && write_record(s, b, *txn);
        if (ok && b.closed_batch_number != closed_before) {
            // Only the batch that closed now is kept besides the open one.
            Statement forget(s.db, "DELETE FROM txn WHERE batch <> ?1");
            ok = forget.ok() && forget.bind(1, static_cast<long>(b.closed_batch_number)).run();
        }
        return ok;
    });
    if (!durable && s.db)
        s.exec("PRAGMA synchronous=FULL");
    if (!ran) { // the terminal goes on from memory (it has said why)
        std::vector<TxnRecord*> changed;
        change(b, changed);
    }
    return saved;
}

void close_open_batch(Batch& b, const std::string& date_time) {
    b.closed = std::move(b.transactions);
    b.transactions.clear();
    b.closed_batch_number = b.batch_number;
    b.closed_date_time = date_time;
    b.batch_number += 1;
}

TxnRecord* find_by_invoice(Batch& b, const std::string& invoice) {
    return find_by_invoice(b.transactions, invoice);
}

TxnRecord* find_by_invoice(std::vector<TxnRecord>& transactions, const std::string& invoice) {
    if (invoice.empty())
        return nullptr;
    for (TxnRecord& txn : transactions) {
        // Voids, cancels and reversals carry the invoice of what they undid.
        if (txn.is(TxnType::Void) || txn.is(TxnType::Cancel) || txn.is(TxnType::Reversal))
            continue;
        if (same_invoice(txn.invoice, invoice))
            return &txn;
    }
    return nullptr;
}

TxnRecord* find_pre_auth(Batch& b, const std::string& reference) {
    if (reference.empty())
        return nullptr;
    for (TxnRecord& txn : b.transactions)
        if (txn.is(TxnType::PreAuth) && txn.closed_by.empty() &&
            same_invoice(txn.pre_auth_ref, reference))
            return &txn;
    return nullptr;
}

std::string serialize(const TxnRecord& txn) {
    std::string line;
    for (const Field& f : kFields) {
        const std::string& value = txn.*f.member;
        if (value.empty())
            continue;
        if (!line.empty())
            line += '\t';
        line += f.key;
        line += '=';
        line += escape(value);
    }
    return line;
}

bool deserialize(const std::string& line, TxnRecord& txn) {
    txn = TxnRecord{};
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find('\t', start);
        if (end == std::string::npos)
            end = line.size();
        const std::string item = line.substr(start, end - start);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            const std::string key = item.substr(0, eq);
            for (const Field& f : kFields)
                if (key == f.key)
                    txn.*f.member = unescape(item.substr(eq + 1));
        }
        start = end + 1;
    }
    return txn.type_number() >= 0;
}

} // namespace sim

extern "C" KORVEX_API void korvex_sim_reload_state(void) {
    sim::Terminal& t = sim::terminal();
    std::lock_guard lock(t.mutex);
    sim::reload_batch();
    sim::reload_kept_settings(t);
}
