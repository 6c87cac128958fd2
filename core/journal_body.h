// An entry's body (its calls, records, questions and receipt) as the journal's
// database keeps it: a compact binary form, compressed. The records of an entry
// whose calls carry them are not kept twice: they are decoded again from the
// calls' bytes through the record descriptions when the entry is read.
#pragma once

#include "journal_entry.h"

#include <string>
#include <string_view>

// The body of `entry` (no summaries), compressed.
std::string pack_entry_body(const JournalEntry& entry);
// Reads a body back into `entry` (whose started_ms is set); also the JSON text that
// journals of earlier versions kept. False when it is neither.
bool unpack_entry_body(std::string_view body, JournalEntry& entry);
