// Tax-free refund: the button and its worker, which sends the sale to the terminal
// and shows the whole tax-free form it returns.
#include "activity.h"
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"

#include <iterator>
#include <vector>

std::atomic<bool> TaxFreeRefundState{false};
pthread_t TaxFreeRefundTh;

namespace {

const FieldInput kTaxFreeInputs[] = {
    INPUT_FIELD(TFRTransactionIn, MessageNumberIn, txt_tfr_inp_msg_nbr),
    INPUT_FIELD(TFRTransactionIn, TaxFreeFormNumberIn, txt_tfr_inp_form_nbr),
    INPUT_FIELD(TFRTransactionIn, SaleCashAmountIn, txt_tfr_inp_sae_csh_amt),
};

#define FORM(field, widget, rule) RECORD_FIELD(TFRTransactionOut, field, widget, Rule::rule)
// TFRTransactionOut in the form entries, in record order; the two statements for
// official use are not shown.
const FieldDisplay kTaxFreeFormDisplay[] = {
    FORM(MessageNumberOut, txt_tfr_out_msg_nbr, Text),
    FORM(TransactionStatusOut, txt_tfr_out_txn_status, TaxFreeStatus),
    FORM(VATRateOut, txt_tfr_out_vat_rate, Text),
    FORM(VATAmountOut, txt_tfr_out_vat_amt, Text),
    FORM(FullPriceOut, txt_tfr_out_full_price, Text),
    FORM(ExVATPriceOut, txt_tfr_out_ext_vat_price, Text),
    FORM(TaxRefundAmountOut, txt_tfr_out_tax_ref_amt, Text),
    FORM(AdministrationFeeOut, txt_tfr_out_adm_free, Text),
    FORM(DateOfSaleOut, txt_tfr_out_date_of_sale, Text),
    FORM(TimeOfSaleOut, txt_tfr_out_time_of_sale, Text),
    FORM(MerchantNameOut, txt_tfr_out_merch_name, Text),
    FORM(MerchantAddress1Out, txt_tfr_out_merch_adr1, Text),
    FORM(MerchantAddress2Out, txt_tfr_out_merch_adr2, Text),
    FORM(TFWWNameOut, txt_tfr_out_tfww_name, Text),
    FORM(TFWWAddressOut, txt_tfr_out_tfww_adr, Text),
    FORM(TFWWWebAddressOut, txt_tfr_out_tfww_web_adr, Text),
    FORM(TFWWTelNumberOut, txt_tfr_out_tfww_tel_nbr, Text),
    FORM(VATNumberLabelOut, txt_tfr_out_vat_nbr_lbl, Text),
    FORM(VATNumberOut, txt_tfr_out_vat_nbr, Text),
    FORM(CustomerDeclarationOut, txt_tfr_out_cust_dec, Text),
    FORM(CustomerAddressOut, txt_tfr_out_cust_adr, Text),
    FORM(CustomerPassportOut, txt_tfr_out_cust_passport, Text),
    FORM(CustomerIssuerGovernmentOut, txt_tfr_out_cust_iss_gov, Text),
    FORM(CustomerDeclarationStatement1Out, txt_tfr_out_cust_dec_stat1, Text),
    FORM(CustomerDeclarationStatement2Out, txt_tfr_out_cust_dec_stat2, Text),
    FORM(RetailerDeclarationHeadingOut, txt_tfr_out_ret_dec_hd, Text),
    FORM(RetailerSignatureOut, txt_tfr_out_ret_sig, Text),
    FORM(RetailerDeclarationIMPORTANTOut, txt_tfr_out_ret_dec_imp, Text),
    FORM(RetailerInstructionLine1Out, txt_tfr_out_ret_ins_line1, Text),
    FORM(RetailerInstructionLine2Out, txt_tfr_out_ret_ins_line2, Text),
    FORM(ExportHeadingOut, txt_tfr_out_exp_hd, Text),
    FORM(ExportWarningOut, txt_tfr_out_exp_wrn, Text),
    FORM(DataProtectionActOut, txt_tfr_out_data_prt_act, Text),
    FORM(DataStatement1Out, txt_tfr_out_data_st1, Text),
    FORM(DataStatement2Out, txt_tfr_out_data_st2, Text),
    FORM(DataStatement3Out, txt_tfr_out_data_st3, Text),
    FORM(DataStatement4Out, txt_tfr_out_data_st4, Text),
    FORM(CountryCodeOut, txt_tfr_out_cnt_code, Signed16),
    FORM(FormTypeOut, txt_tfr_out_form_type, Signed16),
    FORM(CustNumberOut, txt_tfr_out_cust_nbr, Text),
    FORM(PosIDOut, txt_tfr_out_pos_id, Text),
    FORM(CurrencyCodeOut, txt_tfr_out_cur_code, CurrencySymbol),
    FORM(CurrencyExpOut, txt_tfr_out_cur_exp, Signed16),
    FORM(CardPANOut, txt_tfr_out_card_pan, Text),
    FORM(CardExpiryDateOut, txt_tfr_out_card_exp_date, Text),
    FORM(CardTypeOut, txt_tfr_out_card_type, Text),
    FORM(Barcode1Out, txt_tfr_out_barcode1, Text),
    FORM(Barcode2Out, txt_tfr_out_barcode2, Text),
    FORM(CardSalesStatement1Out, txt_tfr_out_crd_sales_st1, Text),
    FORM(CardSalesStatement2Out, txt_tfr_out_crd_sales_st2, Text),
    FORM(CardSalesStatement3Out, txt_tfr_out_crd_sales_st3, Text),
    FORM(CardSalesStatement4Out, txt_tfr_out_crd_sales_st4, Text),
    FORM(CardSalesStatement5Out, txt_tfr_out_crd_sales_st5, Text),
    FORM(CashStringOut, txt_tfr_out_cash_string, Text),
};
#undef FORM
static_assert(std::size(kTaxFreeFormDisplay) == 54);

// The form's entries in the table's order, then the result line: what a new
// request empties.
std::vector<GtkWidget**> tax_free_outputs() {
    std::vector<GtkWidget**> entries;
    for (const FieldDisplay& f : kTaxFreeFormDisplay)
        entries.push_back(widget_handle(f.widget));
    entries.push_back(&txt_request_output);
    return entries;
}

} // namespace

void btn_tfr_inp_start_tax_free_Clicked(GtkWidget*, gpointer) {
    if (TaxFreeRefundState)
        return;
    static const std::vector<GtkWidget**> outputs = tax_free_outputs();
    clear_entries(outputs.data(), outputs.size());
    start_worker(&TaxFreeRefundTh, LaunchTaxFreeRefundReq);
}

void* LaunchTaxFreeRefundReq(void*) {
    TaxFreeRefundState = true;
    TFRTransactionIn request{};
    TFRTransactionOut response{};
    {
        GdkLock lock;
        read_inputs(&request, kTaxFreeInputs);
        request.PaymentMethodIn = two_way_choice(cmb_tfr_inp_pay_mth);
    }
    {
        OperationActivity activity("Tax-free refund");
        activity.request(request);
        DoTaxFreeRefund(request, &response);
        activity.response(response);
    }
    {
        GdkLock lock;
        show_record(&response, kTaxFreeFormDisplay);
        display_diagnosis_string(txt_request_output, response.DiagRequestOut);
    }
    TaxFreeRefundState = false;
    return nullptr;
}
