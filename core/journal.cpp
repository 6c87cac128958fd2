#include "journal.h"

#include "card_masking.h"
#include "journal_store.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

std::int64_t wall_ms() {
    return g_get_real_time() / 1000;
}
std::int64_t mono_ms() {
    return g_get_monotonic_time() / 1000;
}

struct Open {
    unsigned long id;
    Journaling journaling;
    JournalEntry entry;
};

// An ended entry waiting for its moment of grace to pass.
struct Pending {
    JournalEntry entry;
    std::int64_t due_mono_ms;
};

std::mutex journal_mutex;
std::condition_variable journal_changed;
std::vector<Open> open_entries; // oldest first
std::deque<Pending> pending;    // in the order they ended
// What a polled operation answered: its records, or only a result code when the call
// failed before the terminal answered.
struct Answer {
    std::vector<JournalRecord> response;
    std::optional<int> result_code;
    bool operator==(const Answer&) const = default;
};
std::map<std::string, Answer> last_answer; // of WhenChanged operations, by name
bool recording = false;
bool stopping = false;
int flushes = 0;
std::uint64_t ended_count = 0;
std::uint64_t written_count = 0;
int grace_ms = 1000;
std::string failure_reason;
void (*failure_listener)(const std::string&) = nullptr;
// While writes fail: the reason, and the listener told when it changes.
std::string write_problem;
void (*write_listener)(const std::string&) = nullptr;
// Flushes asked for (journal_flush, journal_stop), and the newest of them for which
// the writer has tried the entries that wait to be written again.
std::uint64_t flush_asks = 0;
std::uint64_t flush_asks_tried = 0;
bool unwritten_waiting = false;
std::atomic<void (*)()> written_listener{nullptr};
std::thread writer;

// A program that ends without journal_stop (a tool, a test harness) still ends
// cleanly, its last entries written: destroying a running thread would abort it.
struct StopAtExit {
    ~StopAtExit() { journal_stop(); }
} stop_at_exit;

Open* open_entry(unsigned long id) {
    for (Open& o : open_entries)
        if (o.id == id)
            return &o;
    return nullptr;
}

// The operation the cashier's answers and the receipt lines belong to: the newest
// one that runs, a polled status only when nothing else does.
JournalEntry* current_entry() {
    for (auto it = open_entries.rbegin(); it != open_entries.rend(); ++it)
        if (it->journaling == Journaling::Always)
            return &it->entry;
    return open_entries.empty() ? nullptr : &open_entries.back().entry;
}

// The calls in the order they were made: a call is handed over when it returns, so
// the cashier's calls during a sale come before the sale's own. Two calls that
// started in the same millisecond (a fast terminal asks at once) are told apart by
// their ends: the call that holds the other one open started first.
void add_in_order(std::vector<JournalCall>& calls, JournalCall call) {
    const auto made_after = [&call](const JournalCall& earlier) {
        return earlier.started_ms > call.started_ms ||
               (earlier.started_ms == call.started_ms && earlier.ended_ms < call.ended_ms);
    };
    auto at = calls.end();
    while (at != calls.begin() && made_after(*std::prev(at)))
        --at;
    calls.insert(at, std::move(call));
}

// Called with journal_mutex held.
void queue_ended(JournalEntry entry) {
    pending.push_back({std::move(entry), mono_ms() + grace_ms});
    ++ended_count;
    journal_changed.notify_all();
}

// An entry of its own for what came while no operation ran.
JournalEntry& standalone_entry(const char* operation) {
    JournalEntry e;
    e.operation = operation;
    e.started_ms = e.ended_ms = wall_ms();
    queue_ended(std::move(e));
    return pending.back().entry;
}

void report_failure(const std::string& reason) {
    void (*listener)(const std::string&);
    {
        std::lock_guard lock(journal_mutex);
        if (!failure_reason.empty())
            return;
        failure_reason = reason.empty() ? "the journal cannot be written" : reason;
        listener = failure_listener;
    }
    g_warning("running without a journal: %s", reason.c_str());
    if (listener)
        listener(reason);
}

// Says when writes start failing, change their reason or work again (empty).
void set_write_problem(const std::string& reason) {
    void (*listener)(const std::string&);
    {
        std::lock_guard lock(journal_mutex);
        if (write_problem == reason)
            return;
        write_problem = reason;
        listener = write_listener;
    }
    if (!reason.empty())
        g_warning("journal not written: %s", reason.c_str());
    if (listener)
        listener(reason);
}

// The most entries one transaction takes: a writer that fell behind catches up in
// transactions of this size, each still short.
constexpr std::size_t kBatchLimit = 256;
// A writer that never runs out of entries still puts them on disk this often.
constexpr std::int64_t kSyncEveryMs = 1000;

// The entries a failed write leaves, oldest first, for the writer thread alone:
// tried again after a pause that doubles up to half a minute, and on each flush.
// Past kJournalQueueLimit the oldest are dropped and counted; once writes work
// again an entry of their own says how many were lost.
class Unwritten {
  public:
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    bool due(std::int64_t now) const { return !empty() && now >= retry_at_; }
    std::int64_t retry_at() const { return retry_at_; }

    void keep(JournalEntry entry) {
        if (entries_.size() >= kJournalQueueLimit) {
            const JournalEntry& oldest = entries_.front();
            if (lost_ == 0)
                lost_from_ms_ = oldest.started_ms;
            lost_to_ms_ = oldest.ended_ms;
            ++lost_;
            entries_.pop_front();
        }
        entries_.push_back(std::move(entry));
    }

    // Writes what waits, oldest first, then the count of what was dropped; false at
    // the first write that fails (that entry and the ones after it wait on).
    bool write(JournalStore& store, std::string* error) {
        for (;;) {
            while (!entries_.empty()) {
                // In transactions of up to kBatchLimit entries, like the writer's own.
                std::vector<JournalEntry> batch;
                for (auto it = entries_.begin();
                     it != entries_.end() && batch.size() < kBatchLimit; ++it)
                    batch.push_back(*it);
                if (!store.append(batch, error)) {
                    failed(*error);
                    return false;
                }
                entries_.erase(entries_.begin(),
                               entries_.begin() + static_cast<std::ptrdiff_t>(batch.size()));
                if (auto listener = written_listener.load())
                    listener();
            }
            if (lost_ == 0)
                break;
            JournalEntry lost;
            lost.operation = "Journal entries lost";
            lost.started_ms = lost_from_ms_;
            lost.ended_ms = lost_to_ms_;
            lost.status = std::to_string(lost_) + (lost_ == 1 ? " entry" : " entries") +
                          " not written";
            lost.host_text = last_reason_;
            entries_.push_back(std::move(lost));
            lost_ = 0;
        }
        pause_ms_ = 0;
        return true;
    }
    // A write failed: the next try waits longer than the one before.
    void failed(const std::string& reason) {
        last_reason_ = reason;
        pause_ms_ = pause_ms_ == 0 ? kFirstPauseMs : std::min(pause_ms_ * 2, kLastPauseMs);
        retry_at_ = mono_ms() + pause_ms_;
    }

  private:
    static constexpr std::int64_t kFirstPauseMs = 250;
    static constexpr std::int64_t kLastPauseMs = 30'000;
    std::deque<JournalEntry> entries_;
    std::int64_t pause_ms_ = 0;
    std::int64_t retry_at_ = 0;
    std::uint64_t lost_ = 0;
    std::int64_t lost_from_ms_ = 0;
    std::int64_t lost_to_ms_ = 0;
    std::string last_reason_;
};

void write_entries(std::string path) {
    std::string error;
    std::unique_ptr<JournalStore> store = JournalStore::open(path, &error);
    if (store) {
        if (const int purged = store->purge_expired(wall_ms()); purged > 0)
            g_message("journal: %d %s older than %d days deleted", purged,
                      purged == 1 ? "entry" : "entries", store->keep_days());
        // The text index's merges are done while the writer is idle, a few pages at
        // a time, instead of inside an append (up to tens of milliseconds).
        store->merge_text_index_when_asked();
    } else {
        report_failure(error);
    }
    Unwritten unwritten;
    bool unsynced = false;              // written since the last sync
    bool uncopied = false;              // written since the last checkpoint
    bool unmerged = false;              // the text index may have pieces to merge
    std::int64_t synced_at = mono_ms(); // when the last sync was made
    const auto sync = [&] {
        unsynced = false;
        synced_at = mono_ms();
        if (!store->sync())
            g_warning("journal: the write-ahead log could not be synced to disk");
    };
    // Tries what waits once more; called without journal_mutex.
    const auto retry = [&] {
        unsynced = uncopied = true;
        const bool written = unwritten.write(*store, &error);
        unmerged = unmerged || written; // no merge while the journal takes no writes
        set_write_problem(written ? "" : error);
    };

    std::unique_lock lock(journal_mutex);
    for (;;) {
        if (!unwritten.empty() &&
            (unwritten.due(mono_ms()) || flush_asks_tried < flush_asks)) {
            flush_asks_tried = flush_asks;
            lock.unlock();
            retry();
            lock.lock();
            unwritten_waiting = !unwritten.empty();
            journal_changed.notify_all();
            continue;
        }
        if (!pending.empty() &&
            (stopping || flushes > 0 ||
             pending.front().due_mono_ms + kJournalGatherMs <= mono_ms())) {
            // Every entry that is due goes into one transaction, the oldest having
            // waited kJournalGatherMs for others: at hundreds of entries a second the
            // writer's time per entry falls as they come faster.
            std::vector<JournalEntry> batch;
            const std::int64_t now = mono_ms();
            while (!pending.empty() && batch.size() < kBatchLimit &&
                   (stopping || flushes > 0 || pending.front().due_mono_ms <= now)) {
                batch.push_back(std::move(pending.front().entry));
                pending.pop_front();
            }
            lock.unlock();
            if (store) {
                for (JournalEntry& entry : batch)
                    summarise_entry(entry);
                const bool after_others = !unwritten.empty();
                if (after_others || !store->append(batch, &error)) {
                    for (JournalEntry& entry : batch) // after the ones that wait
                        unwritten.keep(std::move(entry));
                    if (!after_others) {
                        unwritten.failed(error);
                        set_write_problem(error);
                    }
                } else {
                    unsynced = uncopied = unmerged = true;
                    if (auto listener = written_listener.load())
                        listener();
                }
                if (unsynced && mono_ms() - synced_at >= kSyncEveryMs)
                    sync();
            }
            lock.lock();
            if (!unwritten.empty() && !unwritten_waiting) {
                unwritten_waiting = true;
                flush_asks_tried = flush_asks; // this try serves the flushes asked so far
            }
            written_count += batch.size();
            journal_changed.notify_all();
            continue;
        }
        // Nothing to write now: what was written goes to disk here, so that no
        // entry's write waits for the disk; a long write-ahead log is copied into the
        // file here too, once, rather than inside a write; and the text index is
        // merged, one short step at a time, looking for entries between the steps.
        if (store && (unsynced || uncopied || (unmerged && !stopping))) {
            lock.unlock();
            if (unsynced) {
                sync();
            } else if (uncopied) {
                uncopied = false;
                if (store->log_pages() >= JournalStore::kCheckpointPages)
                    store->checkpoint();
            } else {
                unmerged = store->merge_text_index();
                uncopied = unmerged; // its pages go into the log too
            }
            lock.lock();
            continue;
        }
        if (stopping) {
            if (!unwritten.empty())
                g_warning("journal: %zu entries not written: %s", unwritten.size(),
                          error.c_str());
            unwritten_waiting = false;
            return;
        }
        std::optional<std::int64_t> wake;
        if (!pending.empty())
            wake = pending.front().due_mono_ms + kJournalGatherMs;
        if (!unwritten.empty())
            wake = wake ? std::min(*wake, unwritten.retry_at()) : unwritten.retry_at();
        if (!wake)
            journal_changed.wait(lock);
        else
            journal_changed.wait_for(lock, std::chrono::milliseconds(*wake - mono_ms()));
    }
}

} // namespace

void journal_start(const std::string& path) {
    std::lock_guard lock(journal_mutex);
    if (recording)
        return;
    recording = true;
    stopping = false;
    failure_reason.clear();
    write_problem.clear();
    flush_asks_tried = flush_asks;
    unwritten_waiting = false;
    writer = std::thread(write_entries, path);
}

void journal_stop() {
    {
        std::lock_guard lock(journal_mutex);
        if (!recording)
            return;
        stopping = true;
        ++flush_asks; // what waits to be written again is tried once more
        journal_changed.notify_all();
    }
    writer.join();
    std::lock_guard lock(journal_mutex);
    recording = false;
    stopping = false;
    open_entries.clear();
    last_answer.clear();
    // A flush may wait for an entry that ended after the writer's last look: it
    // returns now that nothing is recorded.
    journal_changed.notify_all();
}

void journal_flush() {
    std::unique_lock lock(journal_mutex);
    if (!recording)
        return;
    const std::uint64_t target = ended_count;
    const std::uint64_t ask = ++flush_asks;
    ++flushes;
    journal_changed.notify_all();
    journal_changed.wait(lock, [&] {
        return (written_count >= target && (!unwritten_waiting || flush_asks_tried >= ask)) ||
               !recording;
    });
    --flushes;
}

void set_journal_failure_listener(void (*listener)(const std::string& reason)) {
    std::lock_guard lock(journal_mutex);
    failure_listener = listener;
}

void set_journal_write_listener(void (*listener)(const std::string& reason)) {
    std::lock_guard lock(journal_mutex);
    write_listener = listener;
}

std::string journal_write_problem() {
    std::lock_guard lock(journal_mutex);
    return write_problem;
}

void set_journal_written_listener(void (*listener)()) {
    written_listener.store(listener);
}

std::string journal_failure() {
    std::lock_guard lock(journal_mutex);
    return failure_reason;
}

void journal_set_grace_ms(int ms) {
    std::lock_guard lock(journal_mutex);
    grace_ms = ms < 0 ? 0 : ms;
}

void journal_question(std::string question, std::string answer, std::vector<JournalField> details) {
    JournalQuestion q{wall_ms(), std::move(question), std::move(answer), std::move(details)};
    std::lock_guard lock(journal_mutex);
    if (!recording)
        return;
    JournalEntry* entry = current_entry();
    if (!entry)
        entry = &standalone_entry("Cashier question");
    entry->questions.push_back(std::move(q));
}

void journal_call(JournalCall call) {
    std::lock_guard lock(journal_mutex);
    if (JournalEntry* entry = recording ? current_entry() : nullptr)
        add_in_order(entry->calls, std::move(call));
}

void journal_receipt_line(const std::string& line, int style) {
    std::string masked = mask_secret(line);
    std::lock_guard lock(journal_mutex);
    if (!recording)
        return;
    JournalEntry* entry = current_entry();
    if (!entry && !pending.empty() && pending.back().entry.ended_ms >= wall_ms() - grace_ms) {
        // The last lines of an operation that has just ended; wait for the rest.
        pending.back().due_mono_ms = mono_ms() + grace_ms;
        entry = &pending.back().entry;
    }
    if (!entry)
        entry = &standalone_entry("Receipt");
    entry->receipt.push_back(std::move(masked));
    // Kept from the first styled line on: a plain receipt keeps no styles at all.
    if (style != 0 && entry->receipt_styles.empty())
        entry->receipt_styles.resize(entry->receipt.size() - 1, 0);
    if (!entry->receipt_styles.empty())
        entry->receipt_styles.push_back(style);
}

void journal_interrupt_open() {
    std::lock_guard lock(journal_mutex);
    if (!recording)
        return;
    for (Open& o : open_entries) {
        o.entry.status = kJournalInterrupted;
        o.entry.ended_ms = wall_ms();
        queue_ended(std::move(o.entry));
    }
    open_entries.clear();
}

namespace journal_detail {

void begin(unsigned long id, const std::string& name, Journaling journaling) {
    JournalEntry entry;
    entry.operation = name;
    entry.started_ms = wall_ms();
    std::lock_guard lock(journal_mutex);
    if (recording)
        open_entries.push_back({id, journaling, std::move(entry)});
}

void add_request(unsigned long id, JournalRecord record) {
    std::lock_guard lock(journal_mutex);
    if (Open* o = open_entry(id))
        o->entry.request.push_back(std::move(record));
}

void add_response(unsigned long id, JournalRecord record) {
    std::lock_guard lock(journal_mutex);
    if (Open* o = open_entry(id))
        o->entry.response.push_back(std::move(record));
}

void add_call(unsigned long id, JournalCall call) {
    std::lock_guard lock(journal_mutex);
    if (Open* o = open_entry(id))
        add_in_order(o->entry.calls, std::move(call));
}

void set_result(unsigned long id, short code) {
    std::lock_guard lock(journal_mutex);
    if (Open* o = open_entry(id))
        o->entry.result_code = code;
}

void end(unsigned long id) {
    std::lock_guard lock(journal_mutex);
    auto it = std::find_if(open_entries.begin(), open_entries.end(),
                           [id](const Open& o) { return o.id == id; });
    if (it == open_entries.end())
        return;
    Open ended = std::move(*it);
    open_entries.erase(it);
    if (ended.journaling == Journaling::WhenChanged) {
        Answer answer{ended.entry.response, ended.entry.result_code};
        const auto last = last_answer.find(ended.entry.operation);
        if (last != last_answer.end() && last->second == answer && ended.entry.questions.empty() &&
            ended.entry.receipt.empty())
            return;
        last_answer[ended.entry.operation] = std::move(answer);
    }
    ended.entry.ended_ms = wall_ms();
    queue_ended(std::move(ended.entry));
}

} // namespace journal_detail
