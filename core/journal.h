// Records every operation in the journal while the console (or a tool) runs.
//
// Operations hand their records to their OperationActivity scope; the cashier's
// questions and the printed receipt lines are handed here and go to the operation
// that runs. When an operation ends its entry waits a moment for the receipt lines
// still on their way, then a writer thread of its own writes it: nothing here
// waits on the database, so neither a worker nor the main loop is held up.
#pragma once

#include "journal_entry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether an operation's entry is written to the journal.
enum class Journaling {
    Always,
    // Only when its answer differs from the last one written under the same name:
    // a polled status would otherwise fill the journal with copies.
    WhenChanged,
};

// Starts recording into the journal at `path`: the writer thread opens it, deletes
// the entries older than the journal's "keep days" setting and writes every entry
// that ends from now on, those that wait together in one transaction; what it wrote
// goes to disk when it has nothing else to write (at least once a second). Returns
// at once. A journal that cannot be opened or written never stops an operation.
// One that cannot be opened is told to the failure listener once, and no entry is
// kept. A write that fails (a full disk, a lock held too long) keeps its entry, and
// every later one, waiting in memory and tries them again, after a pause that grows
// up to half a minute and at each flush, until writes work again; the write listener
// hears when writes start failing and when they work again.
void journal_start(const std::string& path);
// Writes what waits (without its moment of grace) and ends the writer thread.
void journal_stop();
// Returns when every entry ended so far is written, or found unwritable and, with
// those that wait for the journal to take writes again, tried once more.
void journal_flush();

// At most this many entries wait while writes fail; past it the oldest are dropped,
// and an entry "Journal entries lost" says how many once writes work again.
inline constexpr std::size_t kJournalQueueLimit = 1000;

// Called once, from the writer thread, with the reason, when the journal cannot be
// opened. Set before journal_start.
void set_journal_failure_listener(void (*listener)(const std::string& reason));
// Called from the writer thread after each write, of one entry or of all those it
// found waiting at once (the Journal page shows new entries). Set before
// journal_start.
void set_journal_written_listener(void (*listener)());
// The reason the journal is not kept, or empty while it is.
std::string journal_failure();
// Called from the writer thread with the reason when writes start failing (or fail
// for another reason), and with an empty reason when they work again. Set before
// journal_start.
void set_journal_write_listener(void (*listener)(const std::string& reason));
// Why the entries that wait are not written, or empty while writes work.
std::string journal_write_problem();

// A question the terminal asked the cashier and the answer given, with what the
// terminal showed (masked like every record). It goes to the newest running
// operation, else into an entry of its own. Any thread.
void journal_question(std::string question, std::string answer,
                      std::vector<JournalField> details = {});
template <class Record>
void journal_question(std::string question, std::string answer, const Record& shown) {
    journal_question(std::move(question), std::move(answer), journal_record(shown).fields);
}

// A library call made outside any operation's scope on its thread: it goes to the
// newest running operation, like a cashier's answer; nowhere when none runs.
void journal_call(JournalCall call);

// One receipt line as the print server received it (masked here). It goes to the
// newest running operation, else to the operation that ended last if it ended
// within the moment of grace, else into an entry "Receipt" of its own, with its
// style (PrintJobFont), so that the entry's receipt prints as it was printed. Any thread.
void journal_receipt_line(const std::string& line, int style = 0);

// How much longer than its moment of grace an entry waits for others to be written
// with it, in one transaction.
inline constexpr int kJournalGatherMs = 20;

// How long an ended entry waits for its receipt lines (1000 ms unless changed).
void journal_set_grace_ms(int ms);

// The status of an entry whose operation was still running when the program was
// stopped.
inline constexpr const char* kJournalInterrupted = "Interrupted";
// Ends the entry of every operation still running, as it stands (its request, the
// answers and receipt lines so far), with status kJournalInterrupted; the
// operations' own ends later find nothing open. For a program being stopped: call
// journal_flush after it to have the entries written. Any thread.
void journal_interrupt_open();

namespace journal_detail {
// Used by OperationActivity.
void begin(unsigned long id, const std::string& name, Journaling journaling);
void add_request(unsigned long id, JournalRecord record);
void add_response(unsigned long id, JournalRecord record);
void set_result(unsigned long id, short code);
void add_call(unsigned long id, JournalCall call);
void end(unsigned long id);
} // namespace journal_detail
