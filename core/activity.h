// Which terminal operations are running now, for the indicator beside the result
// line, and what each one asked and was answered, for the journal. A worker opens
// one scope around the library call of its operation and hands it the records it
// sent and received; the scope makes no library call of its own.
#pragma once

#include "journal.h"

#include <string>
#include <utility>
#include <vector>

class OperationActivity {
  public:
    // Any thread; `name` is the operation as the operator knows it ("SALE", "Settlement").
    explicit OperationActivity(std::string name, Journaling journaling = Journaling::Always);
    // Ends the operation: its entry goes to the journal.
    ~OperationActivity();
    OperationActivity(const OperationActivity&) = delete;
    OperationActivity& operator=(const OperationActivity&) = delete;

    // The records sent to the terminal and received from it, in the order of the
    // calls. They are read (and masked) at once: the record may change afterwards.
    template <class Record> void request(const Record& record) {
        add_request(journal_record(record));
    }
    template <class Record> void response(const Record& record) {
        add_response(journal_record(record));
    }
    // Records already read through their description (journal_record(desc, bytes)),
    // for callers that know a record by its description only.
    void request(JournalRecord record) { add_request(std::move(record)); }
    void response(JournalRecord record) { add_response(std::move(record)); }
    // The result code of a call whose response record has none.
    void result(short code);

  private:
    void add_request(JournalRecord record);
    void add_response(JournalRecord record);
    unsigned long id_;
};

// A library call made on this thread (run_operation says so): it goes to the
// operation this thread runs, else to the newest running operation (a cashier's
// answer during a sale), else nowhere.
void record_library_call(JournalCall call);

// The names of the operations running now, oldest first.
std::vector<std::string> running_operations();

// Called on the main loop, without the toolkit lock, after the list has changed
// (several changes may be folded into one call). Set once by the window.
void set_activity_listener(void (*listener)());
