// DoSettlement, GetSettlementData, GetTransactionDetailDataRecord and
// AdjustTipAmount of the simulated terminal, all answered from its batch.
#include "sim_settlement.h"

#include "korvex.h"
#include "sim_core.h"
#include "sim_payment.h"
#include "sim_printer.h"
#include "sim_rates.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>

namespace sim {
namespace {

// How a transaction of each type counts in the totals, in type-code order. Voids,
// cancels and reversals count through what they undid: that transaction moves
// from its category to the voided sales (debits) or voided refunds (credits).
// Pre-authorisations only hold money; their completion is the debit.
enum class Category { None, Debit, Credit };
constexpr Category kCategories[kTxnTypeCount] = {
    Category::Debit,  // SALE
    Category::Credit, // REFUND
    Category::None,   // VOID: counted through the voided transaction
    Category::None,   // DUPLICATA: a copy, never in the batch
    Category::Debit,  // CASH ADVANCE
    Category::Debit,  // PWCB: the whole total, its cash-back part also as a cash-back
    Category::None,   // PRE-AUTH: money held, not taken
    Category::Debit,  // COMPLETION
    Category::None,   // VERIFY ACCOUNT: no amount
    Category::None,   // REVERSAL: counted through the reversed transaction
    Category::Debit,  // FORCE
    Category::Debit,  // MOTO SALE
    Category::Credit, // MOTO REFUND
    Category::None,   // PRE-AUTH REVERSAL: releases a hold
    Category::None,   // CANCEL: counted through the cancelled transaction
    Category::None,   // PRE-AUTH INCREMENT: holds more
};

// The types that take a tip after the sale: purchases paid by card.
constexpr TxnType kTippable[] = {TxnType::Sale, TxnType::MotoSale, TxnType::Completion,
                                 TxnType::Force};
// A tip may be at most this share of the transaction's amount, in per cent.
constexpr long kTipLimitPercent = 30;

constexpr const char* kHelpDeskNumber = "0800 555 0100";
constexpr const char* kCardType = "DB"; // the simulated card is a debit card
constexpr short kBankFunded = 1;
constexpr short kGratuityEnabled = 1;
constexpr short kShiftProcessEnabled = 0;
constexpr short kDetailedReport = 1; // the report lists every transaction

// The message number with which a tester makes the host unreachable.
constexpr const char* kHostDownMessageNumber = "999";

// Settlement statuses (one digit).
constexpr const char* kSettled = "0";
constexpr const char* kNotAuthorised = "1";
constexpr const char* kUnableToConnect = "2";
constexpr const char* kNoTransaction = "4";

// Step times at delay scale 1, in milliseconds.
constexpr int kStepStart = 300;
constexpr int kStepSending = 600;
constexpr int kStepAuthorising = 2000;
constexpr int kStepReceiving = 500;
constexpr int kStepPrinting = 1500;
constexpr int kStepEnd = 300;
constexpr int kStepReport = 300;
constexpr int kStepTip = 500;

// The detail records that GetTransactionDetailDataRecord answers: those of the
// latest settlement or settlement data, in invoice order. Guarded by the
// terminal's mutex.
struct Details {
    bool answered = false; // a settlement or settlement data was asked for
    std::vector<TxnRecord> records;
    // Each record's voided transaction type, when it is a void, cancel or reversal.
    std::vector<std::string> voided_types;
};

Details& details() {
    static Details d;
    return d;
}

long amount_of(const std::string& digits) {
    return std::strtol(digits.c_str(), nullptr, 10);
}

std::string digits12(long amount) {
    char text[32];
    std::snprintf(text, sizeof text, "%012ld", amount);
    return text;
}

bool is_digits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

bool undoes_another(const TxnRecord& t) {
    return t.is(TxnType::Void) || t.is(TxnType::Cancel) || t.is(TxnType::Reversal);
}

bool voided(const TxnRecord& t) {
    return t.closed_by == "02" || t.closed_by == "09" || t.closed_by == "14";
}

Category category_of(const TxnRecord& t) {
    const int type = t.type_number();
    return type < 0 ? Category::None : kCategories[type];
}

// What the card was charged: the amount and the tip added to it.
long settled_amount(const TxnRecord& t) {
    return amount_of(t.total) + amount_of(t.tip);
}

void put_count(char (&field)[9], long count) {
    put(field, std::to_string(count));
}

std::string batch_text(int number) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", number % 1000);
    return text;
}

void fill_summary(SettlementResponseOut& out, const std::string& message_number, const char* status,
                  const char* response, const std::string& date_time, int batch_number,
                  const BatchTotals& t, short records) {
    put(out.MessageNumberOut, message_number);
    put(out.SettlementStatusOut, status);
    put(out.SettlementDateTimeOut, date_time);
    put(out.SettleResponseOut, response);
    put(out.HelpDeskNumberOut, kHelpDeskNumber);
    put(out.MerchantNameOut, kProfile.merchant_name);
    put(out.MerchantAddress1Out, kProfile.merchant_address[0]);
    put(out.MerchantAddress2Out, kProfile.merchant_address[1]);
    put(out.MerchantAddress3Out, kProfile.merchant_address[2]);
    put(out.MerchantAddress4Out, kProfile.merchant_address[3]);
    put(out.AcquirerMerchantIDOut, kProfile.acquirer_merchant_id);
    put(out.TerminalIdentifierOut, kProfile.terminal_id);
    put(out.TerminalCountryCodeOut, kProfile.country_code);
    put(out.TerminalCurrencyCodeOut, kProfile.currency_code);
    out.TerminalCurrencyExponentOut = kProfile.currency_exponent;
    put(out.BatchNumberOut, batch_text(batch_number));
    put(out.AcquirerNameOut, kProfile.acquirer_name);
    put_count(out.CashBacksCountOut, t.cash_back_count);
    put(out.CashBacksAmountOut, digits12(t.cash_back_amount));
    put_count(out.DebitCountOut, t.debit_count);
    put(out.DebitAmountOut, digits12(t.debit_amount));
    put_count(out.CreditCountOut, t.credit_count);
    put(out.CreditAmountOut, digits12(t.credit_amount));
    put_count(out.SalesVoidCountOut, t.sales_void_count);
    put(out.SalesVoidAmountOut, digits12(t.sales_void_amount));
    put_count(out.RefundsVoidCountOut, t.refunds_void_count);
    put(out.RefundsVoidAmountOut, digits12(t.refunds_void_amount));
    out.IsGratuityEnabledOut = kGratuityEnabled;
    put(out.GratuityAmountOut, digits12(t.gratuity_amount));
    out.IsShiftProcessEnabledOut = kShiftProcessEnabled;
    out.SumOrDetailReportOut = kDetailedReport;
    out.TransactionDetailDataRecordNumberOut = records;
    out.DiagRequestOut = kResultOk;
}

// Makes `transactions` the detail records (terminal's mutex held); returns how
// many there are, as the response's 16-bit count can carry them.
short set_details(const std::vector<TxnRecord>& transactions) {
    Details& d = details();
    d.answered = true;
    d.records = transactions;
    // A void keeps the invoice of what it voided and comes after it.
    std::stable_sort(d.records.begin(), d.records.end(),
                     [](const TxnRecord& a, const TxnRecord& b) {
                         return amount_of(a.invoice) < amount_of(b.invoice);
                     });
    constexpr std::size_t kMaxRecords = 32767;
    if (d.records.size() > kMaxRecords)
        d.records.resize(kMaxRecords);
    d.voided_types.assign(d.records.size(), "");
    for (std::size_t i = 0; i < d.records.size(); ++i) {
        if (!undoes_another(d.records[i]))
            continue;
        for (const TxnRecord& other : d.records)
            if (!undoes_another(other) && other.invoice == d.records[i].invoice)
                d.voided_types[i] = other.type;
    }
    return static_cast<short>(d.records.size());
}

void fill_detail(const TxnRecord& t, const std::string& voided_type, SettlementDataRecordOut& out) {
    put(out.DateTimeOut, t.date_time);
    put(out.InvoiceNumberOut, t.invoice);
    put(out.TransactionTypeOut, t.type);
    put(out.VoidedTransactionTypeOut, voided_type);
    put(out.AuthorisationCodeOut, t.auth_code);
    put(out.AVSResponseOut, t.avs_response);
    out.BankTypeOut = kBankFunded;
    put(out.CardSchemeNameOut, t.card_scheme);
    put(out.CardTypeOut, t.pan.empty() ? "" : kCardType);
    put(out.PANOut, t.pan);
    put(out.EntryMethodOut, t.entry_method);
    put(out.TransactionCurrencyCodeOut, t.currency);
    put(out.TotalAmountOut, t.total.empty() ? "" : digits12(settled_amount(t)));
    // The additional amount is the tip of a tipped purchase, else the answer's own
    // (the cash-back part of a PWCB).
    put(out.AdditionalAmountOut, amount_of(t.tip) > 0 ? t.tip : t.additional);
    const bool dcc = t.is_dcc == "1";
    out.IsDCCTxnOut = dcc ? 1 : 0;
    out.IsDCCTxnAcceptedOut = dcc ? 1 : 0;
    out.IsDCCTxnEligibleOut = dcc ? 1 : 0;
    if (dcc) {
        put(out.DCCTransactionCurrencyCodeOut, t.card_currency);
        put(out.DCCAmountOut, t.dcc_amount);
        const CurrencyRate* rate = rate_of(t.card_currency);
        if (rate && amount_of(t.tip) > 0)
            put(out.DCCTipAmountOut, digits12(convert_amount(amount_of(t.tip), *rate)));
        put(out.ConversionRateOut, t.conversion_rate);
        out.FXExponentAppliedOut = static_cast<short>(std::atoi(t.fx_exponent.c_str()));
    }
    out.DiagRequestOut = kResultOk;
}

void step(TerminalState state, int ms) {
    set_terminal_state(state);
    step_delay(ms);
}

bool print_enabled() {
    Terminal& t = terminal();
    std::lock_guard lock(t.mutex);
    return t.print_receipts;
}

std::string printed_date_time(const std::string& d) {
    if (d.size() != 12)
        return d;
    return "20" + d.substr(0, 2) + "-" + d.substr(2, 2) + "-" + d.substr(4, 2) + " " +
           d.substr(6, 2) + ":" + d.substr(8, 2) + ":" + d.substr(10, 2);
}

std::string money(long minor) {
    return format_amount(minor, kProfile.currency_exponent, std::atoi(kProfile.currency_code));
}

std::vector<PrintLine> settlement_report(const SettlementResponseOut& out, const BatchTotals& t) {
    std::vector<PrintLine> lines = {
        {PrintStyle::Bold, kProfile.merchant_name},
        {PrintStyle::Centered, kProfile.merchant_address[0]},
        {PrintStyle::Centered, kProfile.merchant_address[1]},
        {PrintStyle::Centered, "SETTLEMENT REPORT"},
        {PrintStyle::Normal, std::string("TERMINAL ") + kProfile.terminal_id},
        {PrintStyle::Normal, "BATCH " + text_of(out.BatchNumberOut)},
        {PrintStyle::Normal, printed_date_time(text_of(out.SettlementDateTimeOut))},
    };
    const struct {
        const char* name;
        long count, amount;
    } rows[] = {
        {"DEBITS", t.debit_count, t.debit_amount},
        {"CREDITS", t.credit_count, t.credit_amount},
        {"CASH-BACKS", t.cash_back_count, t.cash_back_amount},
        {"VOIDED SALES", t.sales_void_count, t.sales_void_amount},
        {"VOIDED REFUNDS", t.refunds_void_count, t.refunds_void_amount},
    };
    for (const auto& row : rows)
        lines.push_back(
            {PrintStyle::Normal,
             std::string(row.name) + " " + std::to_string(row.count) + "  " + money(row.amount)});
    lines.push_back({PrintStyle::Normal, "OF WHICH TIPS  " + money(t.gratuity_amount)});
    lines.push_back({PrintStyle::DoubleSize, "NET " + money(t.debit_amount - t.credit_amount)});
    lines.push_back({PrintStyle::Centered, text_of(out.SettleResponseOut)});
    return lines;
}

void settle(const SettlementRequestIn& in, SettlementResponseOut& out) {
    const std::string message_number = text_of(in.MessageNumberIn);
    Occupied occupied;
    if (!occupied.taken()) {
        Terminal& t = terminal();
        std::lock_guard lock(t.mutex);
        fill_summary(out, message_number, kNotAuthorised, "TERMINAL BUSY", terminal_date_time(),
                     batch().batch_number, BatchTotals{}, 0);
        return;
    }
    step(kStateBusy, kStepStart);
    step(kStateSending, kStepSending);
    const bool reachable = host_reachable() && message_number != kHostDownMessageNumber;
    if (reachable) {
        step(kStateAuthorising, kStepAuthorising);
        step(kStateReceiving, kStepReceiving);
    } else {
        step_delay(kStepAuthorising);
    }

    BatchTotals totals;
    bool closed = false;
    {
        Terminal& t = terminal();
        std::lock_guard lock(t.mutex);
        // Totals and closing in one transaction: a sale that another till adds
        // meanwhile is either in this settlement or in the next batch.
        change_batch("settlement", [&](Batch& b, std::vector<TxnRecord*>&) {
            const std::string now = terminal_date_time();
            totals = totals_of(b.transactions);
            if (!reachable || b.transactions.empty()) {
                set_details({});
                fill_summary(out, message_number, reachable ? kNoTransaction : kUnableToConnect,
                             reachable ? "NO TRANSACTION" : "HOST UNREACHABLE", now, b.batch_number,
                             totals, 0);
                return false;
            }
            const short records = set_details(b.transactions);
            const int closing = b.batch_number;
            close_open_batch(b, now);
            fill_summary(out, message_number, kSettled, "BATCH CLOSED", now, closing, totals,
                         records);
            closed = true;
            return true;
        });
    }
    if (!closed)
        return;
    if (print_enabled()) {
        set_terminal_state(kStatePrintingMerchantCopy);
        print_document(settlement_report(out, totals));
        step_delay(kStepPrinting);
    }
    step(kStateCompletion, kStepEnd);
}

void settlement_data(const SettlementRequestIn& in, SettlementResponseOut& out) {
    step_delay(kStepReport);
    Terminal& t = terminal();
    std::lock_guard lock(t.mutex);
    Batch& b = batch();
    const std::string message_number = text_of(in.MessageNumberIn);
    if (in.SettlementRecordTypeIn == 0) {
        const bool empty = b.transactions.empty();
        const short records = set_details(b.transactions);
        fill_summary(out, message_number, empty ? kNoTransaction : kSettled,
                     empty ? "NO TRANSACTION" : "OPEN BATCH", terminal_date_time(), b.batch_number,
                     totals_of(b.transactions), records);
        return;
    }
    if (b.closed_batch_number == 0) {
        set_details({});
        fill_summary(out, message_number, kNoTransaction, "NO SETTLEMENT YET", "", 0, BatchTotals{},
                     0);
        return;
    }
    const short records = set_details(b.closed);
    fill_summary(out, message_number, kSettled, "LAST SETTLEMENT", b.closed_date_time,
                 b.closed_batch_number, totals_of(b.closed), records);
}

// Why a tip adjustment was refused, as the slip prints it; null when accepted.
const char* tip_refusal(Batch& b, const std::string& invoice, long total, long old_tip,
                        long new_tip, TxnRecord** found) {
    TxnRecord* t = find_by_invoice(b, invoice);
    if (!t)
        return find_by_invoice(b.closed, invoice) ? "BATCH ALREADY SETTLED" : "INVOICE NOT FOUND";
    if (voided(*t))
        return "TRANSACTION VOIDED";
    if (std::none_of(std::begin(kTippable), std::end(kTippable),
                     [t](TxnType type) { return t->is(type); }))
        return "TYPE TAKES NO TIP";
    if (amount_of(t->total) != total)
        return "TOTAL DIFFERS";
    if (amount_of(t->tip) != old_tip)
        return "OLD TIP DIFFERS";
    if (new_tip * 100 > total * kTipLimitPercent)
        return "TIP OVER LIMIT";
    *found = t;
    return nullptr;
}

void print_tip_slip(const std::string& invoice, long old_tip, long new_tip, const char* refusal) {
    std::vector<PrintLine> lines = {
        {PrintStyle::Bold, kProfile.merchant_name},
        {PrintStyle::Centered, "TIP ADJUSTMENT"},
        {PrintStyle::Normal, "INVOICE " + invoice},
        {PrintStyle::Normal, "OLD TIP " + money(old_tip)},
        {PrintStyle::Normal, "NEW TIP " + money(new_tip)},
        {PrintStyle::Centered, refusal ? std::string("NOT CHANGED: ") + refusal : "TIP CHANGED"},
    };
    print_document(lines);
}

void adjust_tip(const AdjustTipAmountIn& in, AdjustTipAmountOut& out) {
    const std::string invoice = text_of(in.InvoiceNumberIn);
    const std::string total = text_of(in.TotalAmountIn);
    const std::string old_tip = text_of(in.OldTipAmountIn);
    const std::string new_tip = text_of(in.NewTipAmountIn);
    out.TipUpdateResultOut = 0;
    // A terminal cannot even look for what it cannot read.
    if (!is_digits(invoice) || !is_digits(total) || (!old_tip.empty() && !is_digits(old_tip)) ||
        !is_digits(new_tip) || total.size() > 12 || old_tip.size() > 12 || new_tip.size() > 12) {
        out.DiagRequestOut = kResultBadRequestFormat;
        return;
    }
    step_delay(kStepTip);
    const char* refusal = nullptr;
    {
        Terminal& t = terminal();
        std::lock_guard lock(t.mutex);
        change_batch("tip", [&](Batch& b, std::vector<TxnRecord*>& changed) {
            TxnRecord* txn = nullptr;
            refusal = tip_refusal(b, invoice, amount_of(total), amount_of(old_tip),
                                  amount_of(new_tip), &txn);
            if (refusal)
                return false;
            txn->tip = amount_of(new_tip) > 0 ? digits12(amount_of(new_tip)) : "";
            changed = {txn};
            out.TipUpdateResultOut = 1;
            return true;
        });
    }
    out.DiagRequestOut = kResultOk;
    if (print_enabled())
        print_tip_slip(invoice, amount_of(old_tip), amount_of(new_tip), refusal);
}

} // namespace

bool host_reachable() {
    const char* down = std::getenv("KORVEX_SIM_HOST_DOWN");
    return !down || !*down || std::string(down) == "0";
}

std::string terminal_date_time() {
    const std::tm local = clock_local();
    char text[16];
    std::strftime(text, sizeof text, "%y%m%d%H%M%S", &local);
    return text;
}

BatchTotals totals_of(const std::vector<TxnRecord>& transactions) {
    BatchTotals t;
    for (const TxnRecord& txn : transactions) {
        const Category category = category_of(txn);
        const long amount = settled_amount(txn);
        if (category == Category::None)
            continue;
        if (voided(txn)) {
            (category == Category::Debit ? t.sales_void_count : t.refunds_void_count) += 1;
            (category == Category::Debit ? t.sales_void_amount : t.refunds_void_amount) += amount;
            continue;
        }
        (category == Category::Debit ? t.debit_count : t.credit_count) += 1;
        (category == Category::Debit ? t.debit_amount : t.credit_amount) += amount;
        t.gratuity_amount += amount_of(txn.tip);
        if (txn.is(TxnType::Pwcb)) {
            t.cash_back_count += 1;
            t.cash_back_amount += amount_of(txn.additional);
        }
    }
    return t;
}

} // namespace sim

extern "C" {

KORVEX_API void DoSettlement(SettlementRequestIn in, SettlementResponseOut* out) {
    SIM_CALL("DoSettlement", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = SettlementResponseOut{};
    sim::settle(in, *out);
}

KORVEX_API void GetSettlementData(SettlementRequestIn in, SettlementResponseOut* out) {
    SIM_CALL("GetSettlementData", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = SettlementResponseOut{};
    if (in.SettlementRecordTypeIn != 0 && in.SettlementRecordTypeIn != 1) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::settlement_data(in, *out);
}

KORVEX_API void GetTransactionDetailDataRecord(SettlementRequestIn in,
                                               SettlementDataRecordOut* out) {
    SIM_CALL("GetTransactionDetailDataRecord", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = SettlementDataRecordOut{};
    sim::Terminal& t = sim::terminal();
    std::lock_guard lock(t.mutex);
    const sim::Details& d = sim::details();
    if (!d.answered) {
        out->DiagRequestOut = sim::kResultNoReceivedData;
        return;
    }
    const int n = in.TxnDetailDataRecordIndexIn;
    if (n < 1 || n > static_cast<int>(d.records.size())) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::fill_detail(d.records[n - 1], d.voided_types[n - 1], *out);
}

KORVEX_API void AdjustTipAmount(const AdjustTipAmountIn* in, AdjustTipAmountOut* out) {
    SIM_CALL("AdjustTipAmount", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = AdjustTipAmountOut{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::adjust_tip(*in, *out);
}

} // extern "C"
