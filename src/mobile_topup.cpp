// Mobile top-up: the terminal's top-up configuration and its products, the voucher
// sale and its vouchers, the top-up settlement and its detail records. None of the
// three operations has a busy flag: each click starts a worker of its own.
//
// Each record selector is filled by its worker, which makes the first row active
// while it holds the toolkit lock; the selector's "changed" handler then runs at
// once on the worker thread and fetches record 1. Chosen by the operator, it runs
// on the main loop, where GTK holds the lock. Either way the lock is already held,
// so the selector handlers never take it.
#include "operation_recipe.h"
#include "signals.h"
#include "value_added.h"

pthread_t MtGetConf;
pthread_t MtDoTxn;
pthread_t MtuDoSett;

namespace {

// ---------------------------------------------------------------------------
// Small helpers (toolkit lock held)

// Emptying a selector's store leaves it without an active row, so its "changed"
// handler, if it runs, does nothing.
void clear_store(GtkListStore* store) {
    if (store)
        gtk_list_store_clear(store);
}

// The voucher count as typed: a decimal integer (leading blanks, a sign, digits up
// to the first other character), of which the record keeps the low 8 bits: 300 is
// sent as 44, -1 as 255. Kept modulo 256 while reading, so a number of any length
// keeps its own low bits instead of saturating. Text that is not a number gives 0.
unsigned char voucher_count(const char* text) {
    while (g_ascii_isspace(*text))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    unsigned int low = 0;
    for (; g_ascii_isdigit(*text); ++text)
        low = (low * 10 + static_cast<unsigned int>(*text - '0')) & 0xFFu;
    return static_cast<unsigned char>(negative ? (0x100u - low) & 0xFFu : low);
}

// Each operation's selector and the operation of its records.
struct RecordSelector {
    GtkWidget** selector;
    GtkListStore** store;
    const char* records;
};

// Empties the records of the last answer and the selector (main thread).
void clear_records(const RecordSelector& records) {
    clear_store(*records.store);
    clear_outputs(console_operation(records.records));
}

const RecordSelector kProducts{&cmb_mt_cfg_rec_nbr, &ls_mt_rec, "Top-up product"};
const RecordSelector kVouchers{&cmb_mt_txn_resp_rec_nbr, &ls_mtu_prd, "Voucher record"};
const RecordSelector kDetails{&cmb_mtu_set_resp_rec_nbr, &ls_mtu_set_resp_rec,
                              "Top-up settlement record"};

// The rows of an earlier worker of the same operation go first, so that two
// workers at once leave the rows of the latest answer rather than both lists one
// after the other; then the rows "1" to "count" with the first active (the
// selector's "changed" handler runs at once, on this thread, and shows record 1).
void fill_selector(const RecordSelector& records, int count) {
    if (count > 0)
        clear_store(*records.store);
    fill_record_selector(*records.store, *records.selector, count);
}

// The scope of each operation stays open while its answer is shown, so that the
// selector's first record is fetched as part of it.

// The first row reads what the terminal holds, the second has it download the
// configuration from the host first; no selection reads what it holds.
const OperationRecipe<MobileTopUpConfigurationDataIn, MobileTopUpConfigurationDataOut>
    kConfiguration{
        .operation = "Top-up configuration",
        .worker = MtGetConfFct,
        .thread = &MtGetConf,
        .busy = nullptr,
        .scope = Scope::WhileShown,
        .show =
            [](const Operation&, const MobileTopUpConfigurationDataOut& response) {
                fill_selector(kProducts, response.MobileTopUpProductNumberOut);
            },
    };

const OperationRecipe<MobileTopUpReqIn, MobileTopUpRespOut> kVoucherSale{
    .operation = "Voucher sale",
    .worker = MtDoTxnFct,
    .thread = &MtDoTxn,
    .busy = nullptr,
    .scope = Scope::WhileShown,
    // The panel sends any count typed, by its low byte.
    .read =
        [](MobileTopUpReqIn& request) {
            request.VoucherNumbersIn = voucher_count(input_text(txt_mt_txn_vch_nbr));
        },
    .show =
        [](const Operation&, const MobileTopUpRespOut& response) {
            fill_selector(kVouchers, response.VoucherNumberOut);
        },
};

const OperationRecipe<MobileTopUpSettlementRespIn, MobileTopUpSettlementRespOut> kSettlement{
    .operation = "Top-up settlement",
    .worker = MtuDoSettFct,
    .thread = &MtuDoSett,
    .busy = nullptr,
    .scope = Scope::WhileShown,
    .show =
        [](const Operation&, const MobileTopUpSettlementRespOut& response) {
            fill_selector(kDetails, response.TransactionDetailDataRecordNumberOut);
        },
};

} // namespace

// ---------------------------------------------------------------------------
// Top-up configuration and its products

void btn_mt_cfg_get_config_clicked(GtkWidget*, gpointer) {
    press(kConfiguration, [] { clear_records(kProducts); });
}

void* MtGetConfFct(void*) {
    return run(kConfiguration);
}

void cmb_mt_cfg_rec_nbr_changed(GtkWidget*, gpointer) {
    show_selected_record<ProductDataRecordOut>(*kProducts.selector, kProducts.records);
}

// ---------------------------------------------------------------------------
// Voucher sale and its vouchers

void btn_mt_txn_do_transaction_clicked(GtkWidget*, gpointer) {
    press(kVoucherSale, [] { clear_records(kVouchers); });
}

void* MtDoTxnFct(void*) {
    return run(kVoucherSale);
}

void cmb_mt_txn_resp_rec_nbr_changed(GtkWidget*, gpointer) {
    show_selected_record<VoucherRecordOut>(*kVouchers.selector, kVouchers.records);
}

// ---------------------------------------------------------------------------
// Top-up settlement and its detail records

void btn_mtu_set_req_do_set_clicked(GtkWidget*, gpointer) {
    press(kSettlement, [] { clear_records(kDetails); });
}

void* MtuDoSettFct(void*) {
    return run(kSettlement);
}

void cmb_mtu_set_resp_rec_nbr_changed(GtkWidget*, gpointer) {
    show_selected_record<MTPSettlementDataRecordOut>(*kDetails.selector, kDetails.records);
}
