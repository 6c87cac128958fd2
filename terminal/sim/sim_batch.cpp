#include "sim_batch.h"

#include "korvex_sim.h"
#include "sim_core.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace sim {
namespace {

constexpr const char* kHeader = "korvex-sim batch 1";
constexpr const char* kFileName = "batch.state";

// Every field of a record, by the key it has in the state file. A field added to
// TxnRecord needs one row here to be kept across restarts.
struct Field {
    const char* key;
    std::string TxnRecord::*member;
};
constexpr Field kFields[] = {
    {"message_number", &TxnRecord::message_number},
    {"type", &TxnRecord::type},
    {"amount1", &TxnRecord::amount1},
    {"amount2", &TxnRecord::amount2},
    {"amount3", &TxnRecord::amount3},
    {"amount4", &TxnRecord::amount4},
    {"label1", &TxnRecord::label1},
    {"label2", &TxnRecord::label2},
    {"label3", &TxnRecord::label3},
    {"label4", &TxnRecord::label4},
    {"custom_line1", &TxnRecord::custom_line1},
    {"cashier_id", &TxnRecord::cashier_id},
    {"table_id", &TxnRecord::table_id},
    {"commercial_code", &TxnRecord::commercial_code},
    {"suspected_fraud", &TxnRecord::suspected_fraud},
    {"status", &TxnRecord::status},
    {"invoice", &TxnRecord::invoice},
    {"batch_number", &TxnRecord::batch_number},
    {"auth_code", &TxnRecord::auth_code},
    {"acquirer_response", &TxnRecord::acquirer_response},
    {"rrn", &TxnRecord::rrn},
    {"date_time", &TxnRecord::date_time},
    {"total", &TxnRecord::total},
    {"additional", &TxnRecord::additional},
    {"currency", &TxnRecord::currency},
    {"currency_exponent", &TxnRecord::currency_exponent},
    {"card_currency", &TxnRecord::card_currency},
    {"card_currency_exponent", &TxnRecord::card_currency_exponent},
    {"entry_method", &TxnRecord::entry_method},
    {"card_scheme", &TxnRecord::card_scheme},
    {"pan", &TxnRecord::pan},
    {"start_date", &TxnRecord::start_date},
    {"expiry_date", &TxnRecord::expiry_date},
    {"pan_sequence", &TxnRecord::pan_sequence},
    {"cardholder_name", &TxnRecord::cardholder_name},
    {"emv_expiry_date", &TxnRecord::emv_expiry_date},
    {"app_effective_date", &TxnRecord::app_effective_date},
    {"aid", &TxnRecord::aid},
    {"app_label", &TxnRecord::app_label},
    {"app_preferred_name", &TxnRecord::app_preferred_name},
    {"emv_txn_type", &TxnRecord::emv_txn_type},
    {"cryptogram", &TxnRecord::cryptogram},
    {"custom_line2", &TxnRecord::custom_line2},
    {"custom_line3", &TxnRecord::custom_line3},
    {"custom_line4", &TxnRecord::custom_line4},
    {"pre_auth_ref", &TxnRecord::pre_auth_ref},
    {"host_text", &TxnRecord::host_text},
    {"available_balance", &TxnRecord::available_balance},
    {"is_dcc", &TxnRecord::is_dcc},
    {"dcc_amount", &TxnRecord::dcc_amount},
    {"conversion_rate", &TxnRecord::conversion_rate},
    {"fx_exponent", &TxnRecord::fx_exponent},
    {"commission", &TxnRecord::commission},
    {"fx_markup", &TxnRecord::fx_markup},
    {"tax_free_required", &TxnRecord::tax_free_required},
    {"commercial_code_data", &TxnRecord::commercial_code_data},
    {"donation_amount", &TxnRecord::donation_amount},
    {"avs_response", &TxnRecord::avs_response},
    {"partial_amount", &TxnRecord::partial_amount},
    {"closed_by", &TxnRecord::closed_by},
    {"held_amount", &TxnRecord::held_amount},
};

struct Journal {
    bool loaded = false;
    Batch batch;
};

Journal& journal() {
    static Journal& j = *new Journal; // never destroyed: a transaction may outlive exit()
    return j;
}

// Values may hold anything the operator typed; tabs and line ends would break the
// line format, so they are escaped.
std::string escape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += value[i];
        }
    }
    return out;
}

bool all_digits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

std::string strip_leading_zeros(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

bool same_invoice(const std::string& a, const std::string& b) {
    if (all_digits(a) && all_digits(b))
        return strip_leading_zeros(a) == strip_leading_zeros(b);
    return a == b;
}

long number_or(const std::string& text, long fallback) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return (end != text.c_str() && *end == '\0' && value > 0) ? value : fallback;
}

void load(Batch& b) {
    b = Batch{};
    std::ifstream in(batch_file_path());
    if (!in)
        return; // a terminal that never saw a transaction
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        const std::string tag = line.substr(0, tab);
        const std::string rest = tab == std::string::npos ? "" : line.substr(tab + 1);
        if (tag == "txn" || tag == "last") {
            TxnRecord txn;
            if (!deserialize(rest, txn))
                continue;
            if (tag == "txn")
                b.transactions.push_back(std::move(txn));
            else
                b.last = std::move(txn);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "batch_number")
            b.batch_number = static_cast<int>(number_or(value, 1));
        else if (key == "next_invoice")
            b.next_invoice = number_or(value, 1);
        else if (key == "next_sequence")
            b.next_sequence = number_or(value, 1);
    }
}

} // namespace

int TxnRecord::type_number() const {
    if (type.size() != 2 || !all_digits(type))
        return -1;
    const int n = (type[0] - '0') * 10 + (type[1] - '0');
    return n < kTxnTypeCount ? n : -1;
}

std::string batch_file_path() {
    return state_dir() + "/" + kFileName;
}

Batch& batch() {
    Journal& j = journal();
    if (!j.loaded) {
        load(j.batch);
        j.loaded = true;
    }
    return j.batch;
}

void reload_batch() {
    Journal& j = journal();
    load(j.batch);
    j.loaded = true;
}

bool save_batch() {
    const Batch& b = batch();
    const std::string dir = state_dir();
    if (!make_dirs(dir)) {
        report("cannot create the state folder " + dir);
        return false;
    }
    std::string text = std::string(kHeader) + "\n";
    text += "batch_number=" + std::to_string(b.batch_number) + "\n";
    text += "next_invoice=" + std::to_string(b.next_invoice) + "\n";
    text += "next_sequence=" + std::to_string(b.next_sequence) + "\n";
    for (const TxnRecord& txn : b.transactions)
        text += "txn\t" + serialize(txn) + "\n";
    if (b.last)
        text += "last\t" + serialize(*b.last) + "\n";

    const std::string path = batch_file_path();
    if (!write_file_atomically(path, text)) {
        report("cannot save the batch to " + path);
        return false;
    }
    return true;
}

TxnRecord* find_by_invoice(Batch& b, const std::string& invoice) {
    if (invoice.empty())
        return nullptr;
    for (TxnRecord& txn : b.transactions) {
        // Voids, cancels and reversals carry the invoice of what they undid.
        if (txn.is(TxnType::Void) || txn.is(TxnType::Cancel) || txn.is(TxnType::Reversal))
            continue;
        if (same_invoice(txn.invoice, invoice))
            return &txn;
    }
    return nullptr;
}

TxnRecord* find_pre_auth(Batch& b, const std::string& reference) {
    if (reference.empty())
        return nullptr;
    for (TxnRecord& txn : b.transactions)
        if (txn.is(TxnType::PreAuth) && txn.closed_by.empty() &&
            same_invoice(txn.pre_auth_ref, reference))
            return &txn;
    return nullptr;
}

std::string serialize(const TxnRecord& txn) {
    std::string line;
    for (const Field& f : kFields) {
        const std::string& value = txn.*f.member;
        if (value.empty())
            continue;
        if (!line.empty())
            line += '\t';
        line += f.key;
        line += '=';
        line += escape(value);
    }
    return line;
}

bool deserialize(const std::string& line, TxnRecord& txn) {
    txn = TxnRecord{};
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find('\t', start);
        if (end == std::string::npos)
            end = line.size();
        const std::string item = line.substr(start, end - start);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            const std::string key = item.substr(0, eq);
            for (const Field& f : kFields)
                if (key == f.key)
                    txn.*f.member = unescape(item.substr(eq + 1));
        }
        start = end + 1;
    }
    return txn.type_number() >= 0;
}

} // namespace sim

extern "C" KORVEX_API void korvex_sim_reload_state(void) {
    sim::Terminal& t = sim::terminal();
    std::lock_guard lock(t.mutex);
    sim::reload_batch();
}
