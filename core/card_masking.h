// Card numbers never reach the journal, its exports or a report in full.
#pragma once

#include <string>
#include <string_view>

// A card number field masked: of 13 digits or more, the first six and the last four
// digits stay; of 5 to 12 digits, the last four; every other digit becomes '*'. A '*'
// counts as a digit masked already, so "679999******4564" stays as it is; other
// characters (blanks between groups) stay too.
std::string mask_pan(std::string_view pan);

// Free text (a receipt line, a host message) with every card number in it masked
// as mask_pan does: a run of 13 to 19 digits, single blanks or dashes allowed
// between them, that passes the Luhn check every card number passes.
std::string mask_card_numbers(std::string_view text);
