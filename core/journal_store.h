// The journal's database: one SQLite file, owner-only, write-ahead logged, with a
// versioned schema. One JournalStore is one connection: the writer thread keeps
// one, the Journal page and the export another (write-ahead logging lets them read
// while the writer writes). A connection is used by one thread at a time.
#pragma once

#include "journal_entry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What the Journal page and the export look for.
struct JournalQuery {
    // Matches the operation, invoice, status or host text (any part, any case), or,
    // when it reads as an amount ("1250", "12.50"), the amount in minor units.
    std::string text;
    std::optional<std::int64_t> from_ms; // started at or after
    std::optional<std::int64_t> to_ms;   // started before
};

class JournalStatement; // a prepared statement of the store's connection

class JournalStore {
  public:
    // Opens (creating when missing) the journal at `path`. Returns null and sets
    // *error when the file cannot be opened, is not a journal, or has a newer schema.
    static std::unique_ptr<JournalStore> open(const std::string& path, std::string* error);
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    // Writes the entry and sets entry.id. False (and *error) when the write failed.
    bool append(JournalEntry& entry, std::string* error);
    // Writes the entries in one transaction, in order, and sets their ids: all of
    // them or, when a write fails (false, and *error), none.
    bool append(std::span<JournalEntry> entries, std::string* error);

    // Puts every commit so far on disk: a sync of the write-ahead log. Commits are
    // not synced one by one (synchronous=NORMAL): the writer calls this when it has
    // nothing to write, and at least once a second while it writes. False when the
    // log could not be synced.
    bool sync();
    // Copies the write-ahead log into the file (syncing both). The writer does it
    // when it has nothing to write and the log holds kCheckpointPages or more; a
    // commit does it itself only once the log passes kLogLimitPages (a writer that
    // is never idle).
    void checkpoint();
    // The pages in the write-ahead log after this connection's last commit.
    int log_pages() const { return log_pages_; }
    static constexpr int kCheckpointPages = 1000;
    static constexpr int kLogLimitPages = 10000;
    // The text index merges its pieces only when asked (merge_text_index), no longer
    // inside the appends: for the writer, which asks while it is idle.
    void merge_text_index_when_asked();
    // Merges some of the text index's pieces (about kMergePages pages written); false
    // when there was nothing left to merge.
    bool merge_text_index();
    static constexpr int kMergePages = 16;

    // False (the journal's way) leaves the syncing to sync() and checkpoint(); true
    // syncs each commit (synchronous=FULL), for measuring what that costs.
    void set_full_sync(bool full);

    // Deletes the entries older than the days to keep, counted back from `now_ms` or
    // from the newest entry's start, whichever is earlier: a clock set years ahead
    // deletes nothing that the days to keep would keep. Returns how many.
    int purge_expired(std::int64_t now_ms);

    // How many days of entries to keep (90 until changed); kept in the journal.
    int keep_days();
    bool set_keep_days(int days);

    // Up to `limit` entries that match, newest first (by start, then by id), after
    // entry `after` in that order (none: from the newest). Summaries only, unless
    // `full`. Pages follow each other by passing a page's last entry as `after`.
    std::vector<JournalEntry> find(const JournalQuery& query, const JournalEntry* after, int limit,
                                   bool full = false);
    // How many entries match: all of them when the query has no text; for a text,
    // up to kCountLimit, and kCountLimit + 1 for any more (a search that finds more
    // is one to narrow, and counting them all would walk the whole journal).
    std::int64_t count(const JournalQuery& query);
    // The whole entry, or nothing when there is no such entry.
    std::optional<JournalEntry> entry(std::int64_t id);
    // Every matching entry, full, newest first; stops when `each` returns false.
    void for_each(const JournalQuery& query, const std::function<bool(const JournalEntry&)>& each);
    // Every matching entry, full, newest first, all at once (read page by page).
    std::vector<JournalEntry> all(const JournalQuery& query);

    static constexpr int kSchemaVersion = 4;
    static constexpr int kDefaultKeepDays = 90;
    static constexpr std::int64_t kCountLimit = 10000;

  private:
    explicit JournalStore(sqlite3* db);
    static int logged(void* store, sqlite3* db, const char* name, int pages);
    sqlite3* db_;
    int log_pages_ = 0;
    // The writer's two inserts, prepared at its first append.
    std::unique_ptr<JournalStatement> insert_entry_, insert_body_;
};

// The journal's file in a working folder.
std::string journal_path(const std::string& folder);
