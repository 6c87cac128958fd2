// A scenario written from journal entries: each entry becomes a step that makes the
// same request, answers the cashier's questions as they were answered, and expects
// what the terminal answered then. Shared by `kelvra-run --from-journal` and the
// Journal page's "Save as scenario...". No toolkit here.
//
// The rules, in short:
// - inputs: the recorded request's fields that the operation takes and that differ
//   from what an untouched request holds; a card number (masked in the journal) is
//   left out, with a comment on the step;
// - a value that an earlier step answered in a field that changes by nature (an
//   invoice, an authorisation code, a reference) and a later request gives back
//   (the invoice of a void) is kept by the earlier step and written `${name}`;
// - expectations: the result, the status, and every answered field that is not
//   empty; a field that changes by nature (dates, times, invoices, authorisation
//   codes, batch and reference numbers, cryptograms) is expected by its shape (a
//   pattern), or as the kept value it equals; a masked text by a pattern whose
//   masked characters match any;
// - the cashier's recorded answers become the step's answers, the questions asked
//   its `asked`; a password entered is not in the journal and cannot be replayed;
// - the receipt lines go to a golden folder beside the file, under the usual
//   ignore rules (date, time, invoice, auth_code, the batch number); a receipt equal
//   to an earlier step's is not written again: the step names that step's file.
#pragma once

#include "journal_entry.h"
#include "journal_store.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct JournalScenario {
    std::string yaml;   // the scenario file's text
    std::string golden; // its golden folder, relative to the file; empty: no receipt
    // The golden files (in the golden folder) and their text, each receipt once.
    std::vector<std::pair<std::string, std::string>> receipts;
    int steps = 0;
};

// The scenario of `entries` (in any order: the steps are oldest first). `name` is the
// scenario's name, `golden` the golden folder's name beside the file.
JournalScenario scenario_from_entries(std::vector<JournalEntry> entries, const std::string& name,
                                      const std::string& golden);

// Writes the scenario to `path` and its golden files beside it. False with *error.
// A golden folder that is there already keeps its other files; each of ours in it is
// replaced whole.
bool write_journal_scenario(const JournalScenario& scenario, const std::string& path,
                            std::string* error);

// Reads from the journal at `journal` the entries `ids` (when there are any) or those
// that `query` finds, and writes their scenario to `path` (its golden folder is
// named after the file: "day.yaml" keeps its receipts in "day-golden"). Returns the
// number of steps written, or -1 with *error.
int save_journal_scenario(const std::string& journal, const JournalQuery& query,
                          const std::vector<std::int64_t>& ids, const std::string& path,
                          std::string* error);

// "2026-12-06" or "2026-12-06T14:30", local time: the milliseconds of that start;
// `end`: of the end of that day or minute (the start of the next). Nothing when the
// text reads otherwise.
std::optional<std::int64_t> journal_time_bound(const std::string& text, bool end);
