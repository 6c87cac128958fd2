// Mobile top-up of the simulated terminal: its configuration and products, the
// voucher sale with its receipts, and the top-up settlement. Vouchers sold since
// the last top-up settlement, the last sale's vouchers and the last settlement's
// detail records are kept in topup.state in the state folder, so a restart of the
// terminal loses none of them; the file is read afresh by each call.
#include "korvex.h"
#include "sim_core.h"
#include "sim_payment.h"
#include "sim_printer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace sim {
namespace {

// ---------------------------------------------------------------------------
// Products and configuration

struct Product {
    const char* id;
    const char* name;
    long amounts[6];           // the amounts offered, 0-terminated; none: a variable amount
    long min_amount;           // range of a variable amount
    long max_amount;
    const char* custom_text;   // printed on the voucher
};

// The operators are invented. The fourth product comes with the host's
// configuration: the terminal offers it once it has downloaded it.
const Product kProducts[] = {
    {"1001", "VELMARO MOBILE", {500, 1000, 2000, 5000}, 0, 0,
     "VELMARO MOBILE PREPAID\nTo top up, dial *120*code# and press call.\n"
     "Your balance: *121#\nHelp line 0800 100 200"},
    {"1002", "TALKPINE", {1000, 1500, 2500}, 0, 0,
     "TALKPINE TOP-UP\nSend the code by SMS to 7070.\nCredit stays valid for 12 months.\n"
     "Questions: talkpine.example"},
    {"1003", "ZEPHYRA GSM", {}, 500, 10000,
     "ZEPHYRA GSM RECHARGE\nEnter the code in the Zephyra app\nor dial *100*code#.\n"
     "Any amount from 5.00 to 100.00"},
    {"1004", "QUILLO DATA", {2000, 3000}, 0, 0,
     "QUILLO DATA PASS\nDial *55*code# to add the data.\n2000: 10 GB, 3000: 25 GB\n"
     "Valid 30 days from use"},
};
constexpr int kStoredProductCount = 3;
constexpr int kHostProductCount = static_cast<int>(std::size(kProducts));

constexpr const char* kDownloadedKey = "topup_downloaded";
constexpr const char* kBarcodeFormat = "CODE128";
constexpr unsigned char kBarcodeWidth = 2;
constexpr unsigned short kBarcodeHeight = 80;

// The password of the top-up service (the "GSM password").
constexpr const char* kGsmPassword = "1234";
constexpr int kMaxVouchers = 5;

// Host answers chosen by the amount of a variable-amount product.
struct HostFailure {
    long amount;
    const char* status;
    const char* response_code;
    const char* host_text;
};
const HostFailure kHostFailures[] = {
    {9902, "2", "91", "OPERATOR UNAVAILABLE"},
    {9903, "3", "", "HOST UNREACHABLE"},
    {9905, "5", "", "LINE DROPPED"},
    {9906, "6", "", "HOST TIMEOUT"},
};

// "Top-up accepted. Thank you!" in the top-up host's character set, ISO-8859-2.
constexpr const char* kApprovedHostText = "Do\xB3" "adowanie przyj\xEA" "te. Dzi\xEA" "kujemy!";

constexpr int kStepRequest = 300;
constexpr int kStepDownload = 2500;
constexpr int kStepSending = 400;
constexpr int kStepAuthorising = 1500;
constexpr int kStepReceiving = 400;
constexpr int kStepRecord = 50;
constexpr int kStepSettlement = 2000;

int offered_product_count() {
    return stored_setting(kDownloadedKey) == "1" ? kHostProductCount : kStoredProductCount;
}

const Product* find_product(const std::string& id) {
    const int count = offered_product_count();
    for (int i = 0; i < count; ++i)
        if (id == kProducts[i].id)
            return &kProducts[i];
    return nullptr;
}

bool variable_amount(const Product& p) { return p.amounts[0] == 0; }

bool amount_offered(const Product& p, long amount) {
    if (variable_amount(p))
        return amount >= p.min_amount && amount <= p.max_amount;
    // The list ends at its first 0, which is no amount.
    return amount > 0 &&
           std::find(std::begin(p.amounts), std::end(p.amounts), amount) != std::end(p.amounts);
}

// "500;1000;2000" for fixed amounts, "500-10000" for a variable amount.
std::string amounts_info(const Product& p) {
    if (variable_amount(p))
        return std::to_string(p.min_amount) + "-" + std::to_string(p.max_amount);
    std::string info;
    for (long amount : p.amounts)
        if (amount > 0)
            info += (info.empty() ? "" : ";") + std::to_string(amount);
    return info;
}

// ---------------------------------------------------------------------------
// The kept state

struct Voucher {
    std::string date_time, product_id, product_name, amount, invoice, serial, code, expiry,
        auth_code;
};

// Serials, invoices and codes are numbered from 1 up to this, then from 1 again;
// a kept number outside it (a damaged state file) starts again from 1.
constexpr long kMaxNumber = 999999999;

struct TopUpState {
    long next_number = 1; // numbers serials, invoices and codes
    long batch = 1;       // the top-up period, counted on at each settlement
    std::vector<Voucher> period;  // sold since the last top-up settlement
    std::vector<Voucher> last;    // the last sale's vouchers
    std::vector<Voucher> settled; // the last settlement's detail records
};

std::mutex state_mutex;

std::string state_path() { return state_dir() + "/topup.state"; }

bool all_digits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
}

long kept_number(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value >= 1 && value <= kMaxNumber ? value : 1;
}

// A voucher's amount as the terminal writes it: at most 12 digits, so that the
// settlement's sum of them cannot overflow.
bool kept_amount(const std::string& text) {
    return all_digits(text) && text.size() <= 12;
}

std::string voucher_line(const char* kind, const Voucher& v) {
    std::string line = kind;
    for (const std::string* f : {&v.date_time, &v.product_id, &v.product_name, &v.amount,
                                 &v.invoice, &v.serial, &v.code, &v.expiry, &v.auth_code})
        line += "\t" + *f;
    return line + "\n";
}

// A file that cannot be read is an empty state; a line that does not parse is skipped.
TopUpState load_state() {
    TopUpState state;
    std::ifstream in(state_path());
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        if (f.size() == 2 && f[0] == "next")
            state.next_number = kept_number(f[1]);
        else if (f.size() == 2 && f[0] == "batch")
            state.batch = kept_number(f[1]);
        else if (f.size() == 10 && kept_amount(f[4])) {
            Voucher v{f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]};
            if (f[0] == "period")
                state.period.push_back(v);
            else if (f[0] == "last")
                state.last.push_back(v);
            else if (f[0] == "settled")
                state.settled.push_back(v);
        }
    }
    return state;
}

bool save_state(const TopUpState& state) {
    std::string text = "next\t" + std::to_string(state.next_number) + "\nbatch\t" +
                       std::to_string(state.batch) + "\n";
    for (const Voucher& v : state.period)
        text += voucher_line("period", v);
    for (const Voucher& v : state.last)
        text += voucher_line("last", v);
    for (const Voucher& v : state.settled)
        text += voucher_line("settled", v);
    const std::string dir = state_dir();
    if (!make_dirs(dir) || !write_file_atomically(state_path(), text)) {
        report("cannot save the mobile top-up vouchers in " + dir);
        return false;
    }
    return true;
}

// The shop's name, address and identifiers, which the configuration and the
// settlement both carry.
template <class Out> void put_shop(Out& out) {
    put(out.MerchantNameOut, kProfile.merchant_name);
    put(out.MerchantAddress1Out, kProfile.merchant_address[0]);
    put(out.MerchantAddress2Out, kProfile.merchant_address[1]);
    put(out.MerchantAddress3Out, kProfile.merchant_address[2]);
    put(out.MerchantAddress4Out, kProfile.merchant_address[3]);
    put(out.AcquirerMerchantIDOut, kProfile.acquirer_merchant_id);
    put(out.TerminalIdentifierOut, kProfile.terminal_id);
}

// ---------------------------------------------------------------------------
// Texts

std::string formatted(const char* format, long value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// YYMMDDhhmm on the terminal's clock.
std::string date_time_now() {
    const std::tm t = clock_local();
    char text[48];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d", t.tm_year % 100, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min);
    return text;
}

// A year after the sale, YYYYMMDD.
std::string expiry_date() {
    const std::time_t later = clock_now() + 365L * 24 * 3600;
    std::tm t{};
    localtime_r(&later, &t);
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

// Sixteen digits in groups of four, scrambled from the voucher's number so that
// neighbouring vouchers have unrelated codes.
std::string voucher_code(long number) {
    std::uint64_t x = static_cast<std::uint64_t>(number) * 6364136223846793005ULL +
                      1442695040888963407ULL;
    x ^= x >> 29;
    std::string digits = formatted("%016ld", static_cast<long>(x % 10000000000000000ULL));
    return digits.substr(0, 4) + "-" + digits.substr(4, 4) + "-" + digits.substr(8, 4) + "-" +
           digits.substr(12, 4);
}

Voucher make_voucher(const Product& p, long amount, long number, const std::string& date_time) {
    Voucher v;
    v.date_time = date_time;
    v.product_id = p.id;
    v.product_name = p.name;
    v.amount = formatted("%012ld", amount);
    v.invoice = formatted("%06ld", 900000 + number % 100000);
    v.serial = std::string(p.id) + formatted("%012ld", number);
    v.code = voucher_code(number);
    v.expiry = expiry_date();
    v.auth_code = formatted("%06ld", (number * 7919 + 271828) % 1000000);
    return v;
}

void put_voucher(const Voucher& v, VoucherRecordOut& out) {
    out = VoucherRecordOut{};
    put(out.VoucherSerialNumberOut, v.serial);
    put(out.VoucherCodeOut, v.code);
    put(out.VoucherExpDateOut, v.expiry);
    put(out.AuthCodeOut, v.auth_code);
    put(out.InvoiceNumberOut, v.invoice);
    out.DiagRequestOut = kResultOk;
}

// ---------------------------------------------------------------------------
// Voucher receipts: one per voucher, printed on the till like the sale receipts.

std::string printed_date(const std::string& yyyymmdd) {
    return yyyymmdd.size() == 8
               ? yyyymmdd.substr(0, 4) + "-" + yyyymmdd.substr(4, 2) + "-" + yyyymmdd.substr(6, 2)
               : yyyymmdd;
}

std::vector<PrintLine> voucher_receipt(const Product& p, const Voucher& v, int index, int count) {
    std::vector<PrintLine> lines;
    auto add = [&](PrintStyle style, const std::string& text) { lines.push_back({style, text}); };
    add(PrintStyle::Bold, kProfile.merchant_name);
    for (const char* address : kProfile.merchant_address)
        add(PrintStyle::Centered, address);
    add(PrintStyle::Normal, "");
    add(PrintStyle::Centered, "MOBILE TOP-UP VOUCHER");
    add(PrintStyle::Centered,
        "VOUCHER " + std::to_string(index) + " OF " + std::to_string(count));
    add(PrintStyle::Bold, p.name);
    const std::string& d = v.date_time; // YYMMDDhhmm
    if (d.size() == 10)
        add(PrintStyle::Normal, "20" + d.substr(0, 2) + "-" + d.substr(2, 2) + "-" +
                                    d.substr(4, 2) + " " + d.substr(6, 2) + ":" + d.substr(8, 2));
    add(PrintStyle::DoubleSize,
        "AMOUNT " + format_amount(std::atol(v.amount.c_str()), kProfile.currency_exponent,
                                  std::atoi(kProfile.currency_code)));
    add(PrintStyle::Normal, "");
    add(PrintStyle::Centered, "YOUR CODE");
    add(PrintStyle::DoubleWidth, v.code);
    add(PrintStyle::Normal, "SERIAL     " + v.serial);
    add(PrintStyle::Normal, "VALID TO   " + printed_date(v.expiry));
    add(PrintStyle::Normal, "INVOICE    " + v.invoice);
    add(PrintStyle::Normal, "AUTH CODE  " + v.auth_code);
    add(PrintStyle::Normal, "");
    std::istringstream text(p.custom_text);
    for (std::string line; std::getline(text, line);)
        add(PrintStyle::Normal, line);
    add(PrintStyle::Centered, std::string("[") + kBarcodeFormat + " " + v.serial + "]");
    add(PrintStyle::Normal, "");
    return lines;
}

void print_vouchers(const Product& p, const std::vector<Voucher>& vouchers) {
    {
        Terminal& t = terminal();
        std::lock_guard lock(t.mutex);
        if (!t.print_receipts)
            return;
    }
    const int count = static_cast<int>(vouchers.size());
    set_terminal_state(kStatePrintingCustomerCopy);
    for (int i = 0; i < count; ++i)
        if (print_document(voucher_receipt(p, vouchers[i], i + 1, count)).outcome ==
            PrintOutcome::NoPrinter)
            return; // no till listening now means none for the next voucher either
}

// ---------------------------------------------------------------------------
// The sale

// The header that every answer of a sale carries.
void put_sale_header(const MobileTopUpReqIn& in, const std::string& date_time,
                     MobileTopUpRespOut& out) {
    put(out.MessageNumberOut, text_of(in.MessageNumberIn));
    put(out.DateTimeOut, date_time);
    put(out.MerchantNameOut, kProfile.merchant_name);
    put(out.AcquirerMerchantIDOut, kProfile.acquirer_merchant_id);
    put(out.TerminalIdentifierOut, kProfile.terminal_id);
}

void refuse(MobileTopUpRespOut& out, short result, const char* status, const char* response_code,
            const char* host_text) {
    out.DiagRequestOut = result;
    put(out.TransactionStatusOut, status);
    put(out.ResponseCodeOut, response_code);
    put(out.HostOptionalMessageOut, host_text);
}

// Checks the request in the order the terminal does; returns false with `out`
// answered when it refuses.
bool check_sale(const MobileTopUpReqIn& in, const Product*& product, long& amount,
                MobileTopUpRespOut& out) {
    if (!application_enabled(App::MobileTopUp)) {
        refuse(out, kResultOk, "2", "57", "TOP-UP NOT ENABLED");
        return false;
    }
    if (in.VoucherNumbersIn < 1 || in.VoucherNumbersIn > kMaxVouchers) {
        refuse(out, kResultBadRequestFormat, "1", "", "VOUCHER COUNT 1 TO 5");
        return false;
    }
    const std::string amount_text = text_of(in.VoucherAmountIn);
    if (!all_digits(amount_text)) {
        refuse(out, kResultBadRequestFormat, "1", "", "AMOUNT IN DIGITS");
        return false;
    }
    amount = std::atol(amount_text.c_str());
    product = find_product(text_of(in.ProductIdIn));
    if (!product) {
        refuse(out, kResultOk, "1", "12", "UNKNOWN PRODUCT");
        return false;
    }
    if (!amount_offered(*product, amount)) {
        refuse(out, kResultOk, "1", "13", "AMOUNT NOT OFFERED");
        return false;
    }
    if (text_of(in.GSMPasswordIn) != kGsmPassword) {
        refuse(out, kResultOk, "4", "55", "WRONG PASSWORD");
        return false;
    }
    return true;
}

void step(TerminalState state, int ms) {
    set_terminal_state(state);
    step_delay(ms);
}

void sell(const MobileTopUpReqIn& in, MobileTopUpRespOut& out) {
    const std::string date_time = date_time_now();
    put_sale_header(in, date_time, out);
    Occupied occupied;
    if (!occupied.taken()) {
        refuse(out, kResultOk, "2", "", "TERMINAL BUSY");
        return;
    }
    step_delay(kStepRequest);
    const Product* product = nullptr;
    long amount = 0;
    bool approved = check_sale(in, product, amount, out);
    if (approved) {
        step(kStateSending, kStepSending);
        step(kStateAuthorising, kStepAuthorising);
        step(kStateReceiving, kStepReceiving);
        for (const HostFailure& failure : kHostFailures)
            if (variable_amount(*product) && amount == failure.amount) {
                refuse(out, kResultOk, failure.status, failure.response_code, failure.host_text);
                approved = false;
            }
    }
    std::vector<Voucher> vouchers;
    {
        std::lock_guard lock(state_mutex);
        const StateLock across_processes("topup.state");
        TopUpState state = load_state();
        if (approved)
            for (int i = 0; i < in.VoucherNumbersIn; ++i) {
                vouchers.push_back(make_voucher(*product, amount, state.next_number, date_time));
                state.next_number = state.next_number % kMaxNumber + 1;
            }
        state.period.insert(state.period.end(), vouchers.begin(), vouchers.end());
        state.last = vouchers; // a refused sale leaves no vouchers to fetch
        put(out.BatchNumberOut, formatted("%06ld", state.batch % 1000000));
        save_state(state);
    }
    if (!approved)
        return;
    out.DiagRequestOut = kResultOk;
    put(out.TransactionStatusOut, "0");
    put(out.ResponseCodeOut, "00");
    put(out.HostOptionalMessageOut, kApprovedHostText);
    out.VoucherNumberOut = static_cast<unsigned char>(vouchers.size());
    for (std::size_t i = 0; i < vouchers.size(); ++i)
        put_voucher(vouchers[i], out.VoucherRecordsOut[i]);
    print_vouchers(*product, vouchers);
}

// ---------------------------------------------------------------------------
// The settlement

void put_settlement_header(const MobileTopUpSettlementRespIn& in,
                           MobileTopUpSettlementRespOut& out) {
    put(out.MessageNumberOut, text_of(in.MessageNumberIn));
    put_shop(out);
    put(out.SettlementDateTimeOut, date_time_now());
    put(out.VoucherRefundCountOut, formatted("%08ld", 0)); // the terminal sells, never refunds
    put(out.VoucherRefundAmountOut, formatted("%012ld", 0));
}

void settle(const MobileTopUpSettlementRespIn& in, MobileTopUpSettlementRespOut& out) {
    put_settlement_header(in, out);
    step_delay(kStepSettlement);
    out.DiagRequestOut = kResultOk;
    long count = 0;
    long total = 0;
    std::lock_guard lock(state_mutex);
    const StateLock across_processes("topup.state");
    TopUpState state = load_state();
    if (!application_enabled(App::MobileTopUp)) {
        put(out.TransactionStatusOut, "1");
    } else if (state.period.empty()) {
        put(out.TransactionStatusOut, "4"); // "No Transaction"
        state.settled.clear();
    } else {
        put(out.TransactionStatusOut, "0");
        // The detail records come grouped by product, each product's in sale order.
        state.settled = state.period;
        std::stable_sort(state.settled.begin(), state.settled.end(),
                         [](const Voucher& a, const Voucher& b) {
                             return a.product_id < b.product_id;
                         });
        for (const Voucher& v : state.period)
            total += std::atol(v.amount.c_str());
        count = static_cast<long>(state.period.size());
        state.period.clear();
        state.batch = state.batch % kMaxNumber + 1;
    }
    save_state(state);
    put(out.VoucherSaleCountOut, formatted("%08ld", count));
    put(out.VoucherSaleAmountOut, formatted("%012ld", total));
    // More records than the count can carry: the first 32767 can be fetched.
    out.TransactionDetailDataRecordNumberOut =
        static_cast<short>(std::min<std::size_t>(state.settled.size(), SHRT_MAX));
}

// The record `number` (from 1) of a list kept in the state, or null.
const Voucher* record_at(const std::vector<Voucher>& list, short number) {
    return number >= 1 && static_cast<std::size_t>(number) <= list.size() ? &list[number - 1]
                                                                           : nullptr;
}

} // namespace
} // namespace sim

extern "C" {

KORVEX_API void GetMobileTopUpConfiguration(const MobileTopUpConfigurationDataIn* in,
                                            MobileTopUpConfigurationDataOut* out) {
    SIM_CALL("GetMobileTopUpConfiguration", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = MobileTopUpConfigurationDataOut{};
    sim::step_delay(sim::kStepRequest);
    if (!in || in->GetMobileTopUpConfigFlagIn < 0 || in->GetMobileTopUpConfigFlagIn > 1) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    if (in->GetMobileTopUpConfigFlagIn == 1) {
        // The host's configuration replaces the one the terminal shipped with.
        sim::step_delay(sim::kStepDownload);
        sim::store_setting(sim::kDownloadedKey, "1");
    }
    const bool downloaded = sim::offered_product_count() == sim::kHostProductCount;
    sim::put(out->ProfileIDOut, downloaded ? "MTP00002" : "MTP00001");
    sim::put_shop(*out);
    sim::put(out->TerminalCurrencyOut, sim::kProfile.currency_code);
    sim::put(out->BarcodeFormatOut, sim::kBarcodeFormat);
    out->BarcodeWidthOut = sim::kBarcodeWidth;
    out->BarcodeHeightOut = sim::kBarcodeHeight;
    out->BarcodePrintEnabledOut = 1;
    out->MerchCopyPrintEnabledOut = 0;
    out->MobileTopUpProductNumberOut = static_cast<unsigned char>(sim::offered_product_count());
    out->DiagRequestOut = sim::kResultOk;
}

KORVEX_API void GetProductData(short record_number, ProductDataRecordOut* out) {
    SIM_CALL("GetProductData", &record_number, sizeof record_number, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = ProductDataRecordOut{};
    sim::step_delay(sim::kStepRecord);
    if (record_number < 1 || record_number > sim::offered_product_count()) {
        out->DiagRequestOut = sim::kResultNoReceivedData;
        return;
    }
    const sim::Product& p = sim::kProducts[record_number - 1];
    sim::put(out->ProductIdOut, p.id);
    sim::put(out->ProductNameOut, p.name);
    sim::put(out->AmountsInfoOut, sim::amounts_info(p));
    sim::put(out->CustomTextOut, p.custom_text);
    out->VarAmountEntryOut = sim::variable_amount(p) ? 1 : 0;
    out->DiagRequestOut = sim::kResultOk;
}

KORVEX_API void DoMobileTopUpTransaction(const MobileTopUpReqIn* in, MobileTopUpRespOut* out) {
    SIM_CALL("DoMobileTopUpTransaction", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = MobileTopUpRespOut{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::sell(*in, *out);
}

KORVEX_API void GetVoucherRecord(short record_number, VoucherRecordOut* out) {
    SIM_CALL("GetVoucherRecord", &record_number, sizeof record_number, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = VoucherRecordOut{};
    sim::step_delay(sim::kStepRecord);
    std::lock_guard lock(sim::state_mutex);
    const sim::TopUpState state = sim::load_state();
    if (const sim::Voucher* v = sim::record_at(state.last, record_number))
        sim::put_voucher(*v, *out);
    else
        out->DiagRequestOut = sim::kResultNoReceivedData;
}

KORVEX_API void DoMobileTopUpSettlement(const MobileTopUpSettlementRespIn* in,
                                        MobileTopUpSettlementRespOut* out) {
    SIM_CALL("DoMobileTopUpSettlement", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = MobileTopUpSettlementRespOut{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::settle(*in, *out);
}

KORVEX_API void GetSettlementProductData(short record_number, MTPSettlementDataRecordOut* out) {
    SIM_CALL("GetSettlementProductData", &record_number, sizeof record_number, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = MTPSettlementDataRecordOut{};
    sim::step_delay(sim::kStepRecord);
    std::lock_guard lock(sim::state_mutex);
    const sim::TopUpState state = sim::load_state();
    const sim::Voucher* v = sim::record_at(state.settled, record_number);
    if (!v) {
        out->DiagRequestOut = sim::kResultNoReceivedData;
        return;
    }
    sim::put(out->DateTimeOut, v->date_time);
    sim::put(out->ProductIdOut, v->product_id);
    sim::put(out->ProductNameOut, v->product_name);
    out->TransactionTypeOut = 1; // a voucher sale (2 would be a refund)
    sim::put(out->InvoiceNumberOut, v->invoice);
    sim::put(out->VoucherSerialNumberOut, v->serial);
    sim::put(out->VoucherAmountOut, v->amount);
    out->DiagRequestOut = sim::kResultOk;
}

} // extern "C"
