// DoTaxFreeRefund of the simulated terminal: the tax-free form for a sale, worked
// out with the French standard VAT rate and the refund operator's fee.
#include "korvex.h"
#include "sim_core.h"
#include "sim_payment.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace sim {
namespace {

// The VAT rate in hundredths of a per cent (20.00 %), as the form carries it.
constexpr long kVatRateHundredths = 2000;
// The refund operator keeps this share of the VAT, in per cent.
constexpr long kAdministrationFeePercent = 15;
constexpr long kMaximumAmount = 99999999; // eight digits on the form

constexpr const char* kSuccessful = "1";
constexpr const char* kFailed = "0";
constexpr short kFormCardRefund = 1;
constexpr short kFormCashRefund = 2;
constexpr short kPaymentCard = 0;
constexpr short kCountryFrance = 250;

// The terminal numbers the forms it fills itself; kept across restarts.
constexpr const char* kNextFormSetting = "tax_free_next_form";
constexpr int kStepForm = 1500;

constexpr const char* kOperatorName = "VATLESS REFUND SERVICES";
constexpr const char* kCustomerNumber = "40117";
constexpr const char* kPosId = "01";

// The form's fixed texts, by field.
struct FormText {
    char* field;
    std::size_t width;
    const char* text;
};

struct Figures {
    long full = 0, vat = 0, ex_vat = 0, fee = 0, refund = 0;
};

Figures figures_of(long full) {
    Figures f;
    f.full = full;
    // The price includes the VAT: VAT = price × rate / (100 % + rate), rounded half up.
    f.vat = (full * kVatRateHundredths + (10000 + kVatRateHundredths) / 2) /
            (10000 + kVatRateHundredths);
    f.ex_vat = full - f.vat;
    f.fee = (f.vat * kAdministrationFeePercent + 50) / 100;
    f.refund = f.vat - f.fee;
    return f;
}

bool only_digits(const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
}

std::string digits(long value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*ld", width, value);
    return text;
}

std::string money(long minor) {
    return std::to_string(minor / 100) + "." + digits(minor % 100, 2) + " EUR";
}

// The form number: the one the till gave, else the terminal's next own number.
std::string form_number(const std::string& given) {
    if (!given.empty())
        return digits(std::atol(given.c_str()), 6);
    long next = 1;
    update_settings([&](std::map<std::string, std::string>& settings) {
        const auto kept = settings.find(kNextFormSetting);
        next = kept == settings.end() ? 1 : std::atol(kept->second.c_str());
        settings[kNextFormSetting] = std::to_string(next % 999999 + 1);
    });
    return digits(next, 6);
}

// A check number over the bar code digits, so that a scanner can tell a misread.
std::string with_check(const std::string& body) {
    long sum = 0;
    for (char c : body)
        sum = (sum * 10 + (c - '0')) % 97;
    return body + digits(98 - (sum * 100) % 97, 2);
}

void fill_fixed_texts(TFRTransactionOut& out) {
    const FormText texts[] = {
        {out.TFWWNameOut, sizeof out.TFWWNameOut, kOperatorName},
        {out.TFWWAddressOut, sizeof out.TFWWAddressOut, "4 PLACE DU REMBOURSEMENT, 75008 PARIS"},
        {out.TFWWWebAddressOut, sizeof out.TFWWWebAddressOut, "www.vatless-refund.example"},
        {out.TFWWTelNumberOut, sizeof out.TFWWTelNumberOut, "+33 1 70 00 00 00"},
        {out.VATNumberLabelOut, sizeof out.VATNumberLabelOut, "MERCHANT VAT NUMBER"},
        {out.CustomerDeclarationOut, sizeof out.CustomerDeclarationOut,
         "I declare that I live outside the European Union and that I take these goods "
         "out of it, unused, within three months of the date of sale."},
        {out.CustomerAddressOut, sizeof out.CustomerAddressOut, "Home address: ____________"},
        {out.CustomerPassportOut, sizeof out.CustomerPassportOut, "Passport number: ____________"},
        {out.CustomerIssuerGovernmentOut, sizeof out.CustomerIssuerGovernmentOut,
         "Issuing country: ____________"},
        {out.CustomerDeclarationStatement1Out, sizeof out.CustomerDeclarationStatement1Out,
         "I agree that the refund is paid as chosen below."},
        {out.CustomerDeclarationStatement2Out, sizeof out.CustomerDeclarationStatement2Out,
         "Customer signature: ____________"},
        {out.RetailerDeclarationHeadingOut, sizeof out.RetailerDeclarationHeadingOut,
         "RETAILER DECLARATION"},
        {out.RetailerSignatureOut, sizeof out.RetailerSignatureOut,
         "Retailer signature and stamp: ____________"},
        {out.RetailerDeclarationIMPORTANTOut, sizeof out.RetailerDeclarationIMPORTANTOut,
         "IMPORTANT: the goods listed were sold by us to the customer named above."},
        {out.RetailerInstructionLine1Out, sizeof out.RetailerInstructionLine1Out,
         "Give the form and an envelope to the customer."},
        {out.RetailerInstructionLine2Out, sizeof out.RetailerInstructionLine2Out,
         "Keep the retailer copy for three years."},
        {out.ExportHeadingOut, sizeof out.ExportHeadingOut, "EXPORT VALIDATION"},
        {out.ExportWarningOut, sizeof out.ExportWarningOut,
         "Have this form stamped by customs before you check in your luggage."},
        {out.DataProtectionActOut, sizeof out.DataProtectionActOut,
         "Your data are used only to pay the refund."},
        {out.DataStatement1Out, sizeof out.DataStatement1Out,
         "They are kept for the time the tax authorities require."},
        {out.DataStatement2Out, sizeof out.DataStatement2Out,
         "They are shared with customs and with the refund operator only."},
        {out.DataStatement3Out, sizeof out.DataStatement3Out,
         "You may see and correct them by writing to the refund operator."},
        {out.DataStatement4Out, sizeof out.DataStatement4Out,
         "Simulated terminal: no real refund is paid."},
    };
    for (const FormText& t : texts)
        put(t.field, t.width, t.text);
}

void fill_form(const TFRTransactionIn& in, TFRTransactionOut& out) {
    const std::string amount = text_of(in.SaleCashAmountIn);
    put(out.MessageNumberOut, text_of(in.MessageNumberIn));
    if (!application_enabled(App::TaxFree)) {
        put(out.TransactionStatusOut, kFailed);
        put(out.CashStringOut, "TAX FREE IS NOT ENABLED ON THIS TERMINAL");
        return;
    }
    const std::tm local = clock_local();
    char text[16];
    std::strftime(text, sizeof text, "%d%m%y", &local);
    put(out.DateOfSaleOut, text);
    std::strftime(text, sizeof text, "%H%M", &local);
    put(out.TimeOfSaleOut, text);
    put(out.MerchantNameOut, kProfile.merchant_name);
    put(out.MerchantAddress1Out, kProfile.merchant_address[0]);
    put(out.MerchantAddress2Out, kProfile.merchant_address[1]);
    put(out.VATNumberOut, "FR12345678901");
    out.CountryCodeOut = kCountryFrance;
    put(out.CustNumberOut, kCustomerNumber);
    put(out.PosIDOut, kPosId);
    put(out.CurrencyCodeOut, kProfile.currency_code);
    out.CurrencyExpOut = kProfile.currency_exponent;
    put(out.VATRateOut, digits(kVatRateHundredths, 4));

    const Figures f = figures_of(std::atol(amount.c_str()));
    put(out.FullPriceOut, digits(f.full, 8));
    if (f.full < kTaxFreeThreshold) {
        put(out.TransactionStatusOut, kFailed);
        put(out.CashStringOut,
            "NO TAX FREE FORM: THE PURCHASE IS UNDER THE MINIMUM OF " + money(kTaxFreeThreshold));
        return;
    }
    fill_fixed_texts(out);
    put(out.TransactionStatusOut, kSuccessful);
    put(out.VATAmountOut, digits(f.vat, 8));
    put(out.ExVATPriceOut, digits(f.ex_vat, 8));
    put(out.AdministrationFeeOut, digits(f.fee, 8));
    put(out.TaxRefundAmountOut, digits(f.refund, 8));

    const std::string form = form_number(text_of(in.TaxFreeFormNumberIn));
    // Bar code 1 names the form (country, form, customer); bar code 2 its refund
    // (amount, date of sale); each ends in a two-digit check number.
    put(out.Barcode1Out, with_check("250" + form + "000"));
    std::strftime(text, sizeof text, "%d%m", &local);
    put(out.Barcode2Out, with_check(digits(f.refund, 8) + text));

    const bool card = in.PaymentMethodIn == kPaymentCard;
    out.FormTypeOut = card ? kFormCardRefund : kFormCashRefund;
    if (card) {
        put(out.CardPANOut, "679999******4564");
        put(out.CardExpiryDateOut, "2812");
        put(out.CardTypeOut, "DB");
        put(out.CardSalesStatement1Out, "FORM " + form + ": REFUND TO CARD");
        put(out.CardSalesStatement2Out, "The refund of " + money(f.refund) +
                                            " is credited to the card above once customs "
                                            "have stamped this form.");
        put(out.CardSalesStatement3Out,
            "VAT " + money(f.vat) + " less the administration fee " + money(f.fee) + ".");
        put(out.CardSalesStatement4Out, "Allow up to six weeks for the credit.");
        put(out.CardSalesStatement5Out, "Questions: quote the form number.");
    } else {
        put(out.CashStringOut, "FORM " + form + ": REFUND OF " + money(f.refund) +
                                   " PAID IN CASH AT THE AIRPORT REFUND DESK");
    }
}

} // namespace
} // namespace sim

extern "C" KORVEX_API void DoTaxFreeRefund(TFRTransactionIn in, TFRTransactionOut* out) {
    SIM_CALL("DoTaxFreeRefund", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = TFRTransactionOut{};
    const std::string amount = sim::text_of(in.SaleCashAmountIn);
    const std::string form = sim::text_of(in.TaxFreeFormNumberIn);
    // The amount is required; a form number may be left to the terminal.
    if (!sim::only_digits(amount) || amount.empty() || !sim::only_digits(form) ||
        std::atol(amount.c_str()) > sim::kMaximumAmount ||
        (in.PaymentMethodIn != 0 && in.PaymentMethodIn != 1)) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::step_delay(sim::kStepForm);
    sim::fill_form(in, *out);
    out->DiagRequestOut = sim::kResultOk;
}
