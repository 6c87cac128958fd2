// The journal's entries as JSON: the form the database keeps an entry's records,
// questions and receipt in, and the form of the JSON-lines export.
#pragma once

#include "journal_entry.h"

#include <optional>
#include <string>

// The records, questions and receipt of an entry (no summaries).
std::string entry_detail_json(const JournalEntry& entry);
// Reads them back into `entry`; false when the text is not such a document.
bool read_entry_detail_json(const std::string& json, JournalEntry& entry);

// The whole entry on one line (no line feed), summaries and times included.
std::string entry_json_line(const JournalEntry& entry);
std::optional<JournalEntry> entry_from_json_line(const std::string& line);

// "2026-12-06T14:03:07.250+01:00": a time of the journal in the local time zone.
std::string journal_time_text(std::int64_t ms);
