// The journal's entries written out for other programs: CSV for a spreadsheet,
// JSON lines (one entry a line, everything in it) for scripts.
#pragma once

#include "journal_store.h"

#include <string>

enum class ExportFormat { Csv, JsonLines };

// The CSV header and one entry's row (RFC 4180: fields with a comma, a quote or a
// line break are quoted, quotes doubled; lines end in CRLF). The receipt is one
// field with its lines separated by line feeds; the records and the questions are
// JSON texts.
std::string csv_header();
std::string csv_row(const JournalEntry& entry);

// Writes every entry that matches `query`, newest first, to `path` (replacing it
// only once the whole file is written). Returns the number of entries, or -1 with
// *error set.
long export_journal(JournalStore& store, const JournalQuery& query, const std::string& path,
                    ExportFormat format, std::string* error);
