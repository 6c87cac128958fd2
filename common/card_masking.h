// Secrets never leave the terminal's records in full: card numbers, track data,
// passwords and voucher codes are masked by this one function wherever they are
// written, printed or kept (the journal and its exports, the runner's output and
// report, the simulated terminal's trace file). Plain C++, no toolkit: the simulated
// terminal links it too.
#pragma once

#include <string>
#include <string_view>

enum class SecretKind {
    // Free text (a receipt line, a host message, a runner's expected value): every
    // track shape becomes "[track data]"; every run of 13 to 19 digits that passes
    // the card check digit (Luhn) keeps its first six and last four digits, whatever
    // separators stand between its digits (blanks, tabs, '.', '/', '-', no-break
    // spaces, single or repeated), and so does every such window of 13 to 19 digits
    // inside a longer run (a card number run into its expiry date or an amount). No
    // card number starts with 0, so zero-padded amounts and references stay; a long
    // reference that happens to hold a Luhn-valid window is masked: the lesser harm.
    Text,
    // A card-number field: of 13 digits or more, the first six and the last four
    // digits stay; of 5 to 12 digits, the last four. A '*' counts as a digit masked
    // already; other characters (blanks between groups) stay.
    CardNumber,
    TrackData,   // "[track data]" (nothing when empty)
    Password,    // "[password]" (nothing when empty)
    // A top-up voucher's code: letters and digits but the last four become '*'
    // (a code of four or fewer is masked whole); separators stay.
    VoucherCode,
};

inline constexpr const char* kTrackDataShown = "[track data]";
inline constexpr const char* kPasswordShown = "[password]";

std::string mask_secret(std::string_view value, SecretKind kind = SecretKind::Text);
