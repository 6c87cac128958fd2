/* korvex.h - the terminal library (libkorvex.so.0): its records and its calls.
 *
 * Every operation on the payment terminal goes through the calls below, each with
 * fixed-layout records. These layouts are the binary contract: a real terminal
 * library built with the same records can replace the simulated one on the loader
 * path, and the console runs unchanged. The assertions after each record make the
 * compiler prove every size and offset, so a layout cannot drift unnoticed.
 *
 * Conventions of every record:
 * - Little-endian; natural alignment (16-bit fields on even offsets). The padding
 *   that this leaves is not named; callers zero-fill a record before use, so
 *   padding and unused bytes reach the library as zero.
 * - Text fields are fixed-width char arrays, NUL-padded. A text that fills its
 *   field has no terminator: read at most the field's width.
 * - Amounts, counts and most codes are decimal digit strings, amounts in minor
 *   units; currency and country codes are ISO numeric.
 * - Flags are 0 for false and 1 for true.
 * - Every response carries DiagRequestOut, the result code of the call (0: OK).
 *
 * The header is plain C so that it serves C and C++ alike.
 */
#ifndef KORVEX_H
#define KORVEX_H

#include <stddef.h>

#ifndef KORVEX_API
#define KORVEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define KORVEX_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KORVEX_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define KORVEX_ASSERT_SIZE(Type, size)                                                             \
    KORVEX_STATIC_ASSERT(sizeof(Type) == (size), "size of " #Type)
#define KORVEX_ASSERT_LAYOUT(Type, field, offset)                                                  \
    KORVEX_STATIC_ASSERT(offsetof(Type, field) == (offset), "offset of " #Type "." #field)

/* The layouts assume these widths and byte order; refuse any other platform
 * rather than exchange garbled records with the library. */
KORVEX_STATIC_ASSERT(sizeof(short) == 2, "short must be 16 bits");
KORVEX_STATIC_ASSERT(sizeof(int) == 4, "int must be 32 bits");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the terminal library's records are little-endian"
#endif

/* ---- Payment transactions ------------------------------------------------ */

/* Request of Transaction_Launch. */
typedef struct Transaction_in {
    char MessageNumberIn[3];
    char Amount1In[13];
    char Amount2In[13];
    char Amount3In[13];
    char Amount4In[13];
    char Amount1LabelIn[20];
    char Amount2LabelIn[20];
    char Amount3LabelIn[20];
    char Amount4LabelIn[20];
    char TransactionTypeIn[3]; /* "00" to "15" and a NUL */
    char CustomLine1In[40];
    char InvoiceNumberIn[7];
    char CashierIdIn[5];
    char TableIdIn[3];
    char CommercialCodeIn[3];
    char PreAuthRefNumIn[9];
    short SuspectedFraudIndicatorIn; /* character code of the indicator */
    char AuthorisationCodeIn[7];
} Transaction_in;
KORVEX_ASSERT_SIZE(Transaction_in, 216);
KORVEX_ASSERT_LAYOUT(Transaction_in, MessageNumberIn, 0);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount1In, 3);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount2In, 16);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount3In, 29);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount4In, 42);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount1LabelIn, 55);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount2LabelIn, 75);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount3LabelIn, 95);
KORVEX_ASSERT_LAYOUT(Transaction_in, Amount4LabelIn, 115);
KORVEX_ASSERT_LAYOUT(Transaction_in, TransactionTypeIn, 135);
KORVEX_ASSERT_LAYOUT(Transaction_in, CustomLine1In, 138);
KORVEX_ASSERT_LAYOUT(Transaction_in, InvoiceNumberIn, 178);
KORVEX_ASSERT_LAYOUT(Transaction_in, CashierIdIn, 185);
KORVEX_ASSERT_LAYOUT(Transaction_in, TableIdIn, 190);
KORVEX_ASSERT_LAYOUT(Transaction_in, CommercialCodeIn, 193);
KORVEX_ASSERT_LAYOUT(Transaction_in, PreAuthRefNumIn, 196);
KORVEX_ASSERT_LAYOUT(Transaction_in, SuspectedFraudIndicatorIn, 206);
KORVEX_ASSERT_LAYOUT(Transaction_in, AuthorisationCodeIn, 208);

/* Response of Transaction_Launch. */
typedef struct Transaction_out {
    short DiagRequestOut;
    char MessageNumberOut[3];
    char TransactionStatusOut[3]; /* decimal digits */
    char EntryMethodOut[2];       /* one digit */
    char AcquirerMerchantIDOut[17];
    char DateTimeOut[13];
    char CardSchemeNameOut[25];
    char PANOut[20];
    char StartDateOut[5];
    char ExpiryDateOut[5];
    char AuthorisationCodeOut[7];
    char AcquirerResponseCodeOut[2];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char TransactionCurrencyCodeOut[4];  /* ISO 4217 numeric */
    short TransactionCurrenyExponentOut; /* spelt as the library spells it */
    char CardCurrencyCodeOut[4];
    short CardCurrencyExpOut;
    char TotalAmountOut[13];
    char AdditionalAmountOut[13];
    char EMVCardExpDateOut[7];
    char AppEffectiveDateOut[7];
    char AIDOut[33];
    char AppPreferredNameOut[17];
    char AppLabelOut[17];
    char TerminalIdentifierOut[17];
    char EMVTxnTypeOut[3];
    char AppCryptogramOut[17];
    char RetrievalReferenceNumberOut[13];
    char InvoiceNumberOut[7];
    char BatchNumberOut[4];
    char AcquirerNameOut[17];
    char CustomLine1Out[40];
    char CustomLine2Out[40];
    char CustomLine3Out[40];
    char CustomLine4Out[40];
    short IsDCCTxnOut;
    char DCCAmountOut[13];
    char ConversionRateOut[9];
    short FXExponentAppliedOut;
    char CommissionOut[5];
    char TerminalCountryCodeOut[4];
    char TerminalCurrencyCodeOut[4];
    short TerminalCurrencyExponentOut;
    char FXmarkupOut[4];
    char PANSequenceNumberOut[3];
    char CashierIdOut[5];
    char TableIdOut[3];
    char CardholderNameOut[27];
    char AvailableBalanceOut[13];
    char ApplicationIdOut[9];
    char PreAuthRefNumOut[9];
    char HostTextOut[17];
    short IsTaxFreeRequiredOut;
    short IsExchangeRateUpdateRequiredOut;
    char CommercialCodeDataOut[61];
    char DonationAmountOut[13];
    char AVSResponseOut[2];
    char PartialAmountOut[13];
} Transaction_out;
KORVEX_ASSERT_SIZE(Transaction_out, 814);
KORVEX_ASSERT_LAYOUT(Transaction_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(Transaction_out, MessageNumberOut, 2);
KORVEX_ASSERT_LAYOUT(Transaction_out, TransactionStatusOut, 5);
KORVEX_ASSERT_LAYOUT(Transaction_out, EntryMethodOut, 8);
KORVEX_ASSERT_LAYOUT(Transaction_out, AcquirerMerchantIDOut, 10);
KORVEX_ASSERT_LAYOUT(Transaction_out, DateTimeOut, 27);
KORVEX_ASSERT_LAYOUT(Transaction_out, CardSchemeNameOut, 40);
KORVEX_ASSERT_LAYOUT(Transaction_out, PANOut, 65);
KORVEX_ASSERT_LAYOUT(Transaction_out, StartDateOut, 85);
KORVEX_ASSERT_LAYOUT(Transaction_out, ExpiryDateOut, 90);
KORVEX_ASSERT_LAYOUT(Transaction_out, AuthorisationCodeOut, 95);
KORVEX_ASSERT_LAYOUT(Transaction_out, AcquirerResponseCodeOut, 102);
KORVEX_ASSERT_LAYOUT(Transaction_out, MerchantNameOut, 104);
KORVEX_ASSERT_LAYOUT(Transaction_out, MerchantAddress1Out, 129);
KORVEX_ASSERT_LAYOUT(Transaction_out, MerchantAddress2Out, 154);
KORVEX_ASSERT_LAYOUT(Transaction_out, MerchantAddress3Out, 179);
KORVEX_ASSERT_LAYOUT(Transaction_out, MerchantAddress4Out, 204);
KORVEX_ASSERT_LAYOUT(Transaction_out, TransactionCurrencyCodeOut, 229);
KORVEX_ASSERT_LAYOUT(Transaction_out, TransactionCurrenyExponentOut, 234);
KORVEX_ASSERT_LAYOUT(Transaction_out, CardCurrencyCodeOut, 236);
KORVEX_ASSERT_LAYOUT(Transaction_out, CardCurrencyExpOut, 240);
KORVEX_ASSERT_LAYOUT(Transaction_out, TotalAmountOut, 242);
KORVEX_ASSERT_LAYOUT(Transaction_out, AdditionalAmountOut, 255);
KORVEX_ASSERT_LAYOUT(Transaction_out, EMVCardExpDateOut, 268);
KORVEX_ASSERT_LAYOUT(Transaction_out, AppEffectiveDateOut, 275);
KORVEX_ASSERT_LAYOUT(Transaction_out, AIDOut, 282);
KORVEX_ASSERT_LAYOUT(Transaction_out, AppPreferredNameOut, 315);
KORVEX_ASSERT_LAYOUT(Transaction_out, AppLabelOut, 332);
KORVEX_ASSERT_LAYOUT(Transaction_out, TerminalIdentifierOut, 349);
KORVEX_ASSERT_LAYOUT(Transaction_out, EMVTxnTypeOut, 366);
KORVEX_ASSERT_LAYOUT(Transaction_out, AppCryptogramOut, 369);
KORVEX_ASSERT_LAYOUT(Transaction_out, RetrievalReferenceNumberOut, 386);
KORVEX_ASSERT_LAYOUT(Transaction_out, InvoiceNumberOut, 399);
KORVEX_ASSERT_LAYOUT(Transaction_out, BatchNumberOut, 406);
KORVEX_ASSERT_LAYOUT(Transaction_out, AcquirerNameOut, 410);
KORVEX_ASSERT_LAYOUT(Transaction_out, CustomLine1Out, 427);
KORVEX_ASSERT_LAYOUT(Transaction_out, CustomLine2Out, 467);
KORVEX_ASSERT_LAYOUT(Transaction_out, CustomLine3Out, 507);
KORVEX_ASSERT_LAYOUT(Transaction_out, CustomLine4Out, 547);
KORVEX_ASSERT_LAYOUT(Transaction_out, IsDCCTxnOut, 588);
KORVEX_ASSERT_LAYOUT(Transaction_out, DCCAmountOut, 590);
KORVEX_ASSERT_LAYOUT(Transaction_out, ConversionRateOut, 603);
KORVEX_ASSERT_LAYOUT(Transaction_out, FXExponentAppliedOut, 612);
KORVEX_ASSERT_LAYOUT(Transaction_out, CommissionOut, 614);
KORVEX_ASSERT_LAYOUT(Transaction_out, TerminalCountryCodeOut, 619);
KORVEX_ASSERT_LAYOUT(Transaction_out, TerminalCurrencyCodeOut, 623);
KORVEX_ASSERT_LAYOUT(Transaction_out, TerminalCurrencyExponentOut, 628);
KORVEX_ASSERT_LAYOUT(Transaction_out, FXmarkupOut, 630);
KORVEX_ASSERT_LAYOUT(Transaction_out, PANSequenceNumberOut, 634);
KORVEX_ASSERT_LAYOUT(Transaction_out, CashierIdOut, 637);
KORVEX_ASSERT_LAYOUT(Transaction_out, TableIdOut, 642);
KORVEX_ASSERT_LAYOUT(Transaction_out, CardholderNameOut, 645);
KORVEX_ASSERT_LAYOUT(Transaction_out, AvailableBalanceOut, 672);
KORVEX_ASSERT_LAYOUT(Transaction_out, ApplicationIdOut, 685);
KORVEX_ASSERT_LAYOUT(Transaction_out, PreAuthRefNumOut, 694);
KORVEX_ASSERT_LAYOUT(Transaction_out, HostTextOut, 703);
KORVEX_ASSERT_LAYOUT(Transaction_out, IsTaxFreeRequiredOut, 720);
KORVEX_ASSERT_LAYOUT(Transaction_out, IsExchangeRateUpdateRequiredOut, 722);
KORVEX_ASSERT_LAYOUT(Transaction_out, CommercialCodeDataOut, 724);
KORVEX_ASSERT_LAYOUT(Transaction_out, DonationAmountOut, 785);
KORVEX_ASSERT_LAYOUT(Transaction_out, AVSResponseOut, 798);
KORVEX_ASSERT_LAYOUT(Transaction_out, PartialAmountOut, 800);

/* The terminal's record of its last transaction: the request values and the
 * response fields of Transaction_out, in an order of its own. */
typedef struct GetLastTxnData_out {
    short DiagRequestOut;
    char MessageNumberOut[3];
    char Amount1Out[13];
    char Amount2Out[13];
    char Amount3Out[13];
    char Amount4Out[13];
    char Amount1LabelOut[20];
    char Amount2LabelOut[20];
    char Amount3LabelOut[20];
    char Amount4LabelOut[20];
    char TransactionTypeOut[3]; /* "00" to "15" */
    char CommercialCodeOut[3];
    short SuspectedFraudIndicatorOut; /* as sent in Transaction_in */
    char TransactionStatusOut[3];
    char EntryMethodOut[2];
    char AcquirerMerchantIDOut[17];
    char DateTimeOut[13];
    char TransactionCurrencyCodeOut[4];
    char CardSchemeNameOut[25];
    char PANOut[20];
    char StartDateOut[5];
    char ExpiryDateOut[5];
    char AuthorisationCodeOut[7];
    char AcquirerResponseCodeOut[2];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char TotalAmountOut[13];
    char AdditionalAmountOut[13];
    char CardCurrencyCodeOut[4];
    short CardCurrencyExponentOut;
    char EMVCardExpDateOut[7];
    char AppEffectiveDateOut[7];
    char AIDOut[33];
    char AppPreferredNameOut[17];
    char AppLabelOut[17];
    char TerminalIdentifierOut[17];
    short TransactionCurrenyExponentOut;
    char EMVTxnTypeOut[3];
    char AppCryptogramOut[17];
    char RetrievalReferenceNumberOut[13];
    char InvoiceNumberOut[7];
    char BatchNumberOut[4];
    char AcquirerNameOut[17];
    char CustomLine1Out[40];
    char CustomLine2Out[40];
    char CustomLine3Out[40];
    char CustomLine4Out[40];
    char DCCAmountOut[13];
    short IsDCCTxnOut;
    char ConversionRateOut[9];
    short FXExponentAppliedOut;
    char CommissionOut[5];
    char TerminalCountryCodeOut[4];
    char TerminalCurrencyCodeOut[4];
    short TerminalCurrencyExponentOut;
    char FXmarkupOut[4];
    char PANSequenceNumberOut[3];
    char CashierIdOut[5];
    char TableIdOut[3];
    char CardholderNameOut[27];
    char AvailableBalanceOut[13];
    char ApplicationIdOut[9];
    char PreAuthRefNumOut[9];
    char HostTextOut[17];
    short IsTaxFreeRequiredOut;
    short IsExchangeRateUpdateRequiredOut;
    char CommercialCodeDataOut[61];
    char DonationAmountOut[13];
    char AVSResponseOut[2];
    char PartialAmountOut[13];
} GetLastTxnData_out;
KORVEX_ASSERT_SIZE(GetLastTxnData_out, 954);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, MessageNumberOut, 2);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount1Out, 5);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount2Out, 18);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount3Out, 31);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount4Out, 44);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount1LabelOut, 57);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount2LabelOut, 77);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount3LabelOut, 97);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, Amount4LabelOut, 117);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TransactionTypeOut, 137);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CommercialCodeOut, 140);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, SuspectedFraudIndicatorOut, 144);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TransactionStatusOut, 146);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, EntryMethodOut, 149);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AcquirerMerchantIDOut, 151);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, DateTimeOut, 168);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TransactionCurrencyCodeOut, 181);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CardSchemeNameOut, 185);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, PANOut, 210);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, StartDateOut, 230);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, ExpiryDateOut, 235);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AuthorisationCodeOut, 240);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AcquirerResponseCodeOut, 247);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, MerchantNameOut, 249);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, MerchantAddress1Out, 274);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, MerchantAddress2Out, 299);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, MerchantAddress3Out, 324);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, MerchantAddress4Out, 349);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TotalAmountOut, 374);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AdditionalAmountOut, 387);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CardCurrencyCodeOut, 400);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CardCurrencyExponentOut, 404);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, EMVCardExpDateOut, 406);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AppEffectiveDateOut, 413);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AIDOut, 420);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AppPreferredNameOut, 453);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AppLabelOut, 470);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TerminalIdentifierOut, 487);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TransactionCurrenyExponentOut, 504);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, EMVTxnTypeOut, 506);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AppCryptogramOut, 509);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, RetrievalReferenceNumberOut, 526);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, InvoiceNumberOut, 539);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, BatchNumberOut, 546);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AcquirerNameOut, 550);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CustomLine1Out, 567);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CustomLine2Out, 607);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CustomLine3Out, 647);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CustomLine4Out, 687);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, DCCAmountOut, 727);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, IsDCCTxnOut, 740);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, ConversionRateOut, 742);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, FXExponentAppliedOut, 752);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CommissionOut, 754);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TerminalCountryCodeOut, 759);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TerminalCurrencyCodeOut, 763);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TerminalCurrencyExponentOut, 768);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, FXmarkupOut, 770);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, PANSequenceNumberOut, 774);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CashierIdOut, 777);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, TableIdOut, 782);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CardholderNameOut, 785);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AvailableBalanceOut, 812);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, ApplicationIdOut, 825);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, PreAuthRefNumOut, 834);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, HostTextOut, 843);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, IsTaxFreeRequiredOut, 860);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, IsExchangeRateUpdateRequiredOut, 862);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, CommercialCodeDataOut, 864);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, DonationAmountOut, 925);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, AVSResponseOut, 938);
KORVEX_ASSERT_LAYOUT(GetLastTxnData_out, PartialAmountOut, 940);

/* ---- Terminal events and the cashier's answers --------------------------- */

/* Event server state and the latest event; used by StartServer, StopServer
 * and WaitTerminalEvent. */
typedef struct TerminalEventOut {
    short ServerStateOut;
    short EventIdentifierOut; /* 0: no event */
    short DiagRequestOut;
} TerminalEventOut;
KORVEX_ASSERT_SIZE(TerminalEventOut, 6);
KORVEX_ASSERT_LAYOUT(TerminalEventOut, ServerStateOut, 0);
KORVEX_ASSERT_LAYOUT(TerminalEventOut, EventIdentifierOut, 2);
KORVEX_ASSERT_LAYOUT(TerminalEventOut, DiagRequestOut, 4);

/* The cashier's answer to "void due to suspected fraud?". */
typedef struct SuspectedFraudInOut {
    short SuspectedFraudStatusIn; /* 0 void (yes), 1 otherwise */
    short DiagRequestOut;
} SuspectedFraudInOut;
KORVEX_ASSERT_SIZE(SuspectedFraudInOut, 4);
KORVEX_ASSERT_LAYOUT(SuspectedFraudInOut, SuspectedFraudStatusIn, 0);
KORVEX_ASSERT_LAYOUT(SuspectedFraudInOut, DiagRequestOut, 2);

/* Receipt data of the transaction that waits for a signature check. */
typedef struct CheckSignReceiptInfo_out {
    char EntryMethodOut[2];
    char AcquirerMerchantIDOut[17];
    char DateTimeOut[13];
    char CardSchemeNameOut[25];
    char PANOut[20];
    char StartDateOut[5];
    char ExpiryDateOut[5];
    char AuthorisationCodeOut[7];
    char AcquirerResponseCodeOut[2];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char TransactionCurrencyCodeOut[4];
    short TransactionCurrenyExponentOut;
    char CardCurrencyCodeOut[4];
    short CardCurrencyExpOut;
    char TotalAmountOut[13];
    char AdditionalAmountOut[13];
    char EMVCardExpDateOut[7];
    char AppEffectiveDateOut[7];
    char AIDOut[33];
    char AppPreferredNameOut[17];
    char AppLabelOut[17];
    char TerminalIdentifierOut[17];
    char EMVTxnTypeOut[3];
    char AppCryptogramOut[17];
    char TransactionTypeOut[3];
    char RetrievalReferenceNumberOut[13];
    char InvoiceNumberOut[7];
    char BatchNumberOut[4];
    char AcquirerNameOut[17];
    char CustomLine1Out[40];
    char CustomLine2Out[40];
    char CustomLine3Out[40];
    char CustomLine4Out[40];
    short IsDCCTxnOut;
    char DCCAmountOut[13];
    char ConversionRateOut[9];
    short FXExponentAppliedOut;
    char CommissionOut[5];
    char TerminalCountryCodeOut[4];
    char TerminalCurrencyCodeOut[4];
    short TerminalCurrencyExponentOut;
    char FXmarkupOut[4];
    char PANSequenceNumberOut[3];
    char CashierIdOut[5];
    char TableIdOut[3];
    char CardholderNameOut[27];
    char AvailableBalanceOut[13];
    char ApplicationIdOut[9];
    char PreAuthRefNumOut[9];
    char HostTextOut[17];
    short IsTaxFreeRequiredOut;
    short IsExchangeRateUpdateRequiredOut;
    char CommercialCodeDataOut[61];
    char DonationAmountOut[13];
    char AVSResponseOut[2];
    char PartialAmountOut[13];
    short DiagRequestOut; /* last here, unlike the other responses */
} CheckSignReceiptInfo_out;
KORVEX_ASSERT_SIZE(CheckSignReceiptInfo_out, 810);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, EntryMethodOut, 0);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AcquirerMerchantIDOut, 2);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, DateTimeOut, 19);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CardSchemeNameOut, 32);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, PANOut, 57);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, StartDateOut, 77);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, ExpiryDateOut, 82);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AuthorisationCodeOut, 87);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AcquirerResponseCodeOut, 94);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, MerchantNameOut, 96);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, MerchantAddress1Out, 121);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, MerchantAddress2Out, 146);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, MerchantAddress3Out, 171);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, MerchantAddress4Out, 196);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TransactionCurrencyCodeOut, 221);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TransactionCurrenyExponentOut, 226);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CardCurrencyCodeOut, 228);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CardCurrencyExpOut, 232);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TotalAmountOut, 234);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AdditionalAmountOut, 247);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, EMVCardExpDateOut, 260);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AppEffectiveDateOut, 267);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AIDOut, 274);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AppPreferredNameOut, 307);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AppLabelOut, 324);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TerminalIdentifierOut, 341);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, EMVTxnTypeOut, 358);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AppCryptogramOut, 361);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TransactionTypeOut, 378);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, RetrievalReferenceNumberOut, 381);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, InvoiceNumberOut, 394);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, BatchNumberOut, 401);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AcquirerNameOut, 405);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CustomLine1Out, 422);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CustomLine2Out, 462);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CustomLine3Out, 502);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CustomLine4Out, 542);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, IsDCCTxnOut, 582);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, DCCAmountOut, 584);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, ConversionRateOut, 597);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, FXExponentAppliedOut, 606);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CommissionOut, 608);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TerminalCountryCodeOut, 613);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TerminalCurrencyCodeOut, 617);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TerminalCurrencyExponentOut, 622);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, FXmarkupOut, 624);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, PANSequenceNumberOut, 628);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CashierIdOut, 631);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, TableIdOut, 636);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CardholderNameOut, 639);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AvailableBalanceOut, 666);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, ApplicationIdOut, 679);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, PreAuthRefNumOut, 688);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, HostTextOut, 697);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, IsTaxFreeRequiredOut, 714);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, IsExchangeRateUpdateRequiredOut, 716);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, CommercialCodeDataOut, 718);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, DonationAmountOut, 779);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, AVSResponseOut, 792);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, PartialAmountOut, 794);
KORVEX_ASSERT_LAYOUT(CheckSignReceiptInfo_out, DiagRequestOut, 808);

/* The cashier's signature decision. */
typedef struct Sign_Status_in {
    int SignatureStatusIn; /* 1 accepted, 0 refused */
} Sign_Status_in;
KORVEX_ASSERT_SIZE(Sign_Status_in, 4);
KORVEX_ASSERT_LAYOUT(Sign_Status_in, SignatureStatusIn, 0);

typedef struct Sign_Status_out {
    short DiagRequestOut;
} Sign_Status_out;
KORVEX_ASSERT_SIZE(Sign_Status_out, 2);
KORVEX_ASSERT_LAYOUT(Sign_Status_out, DiagRequestOut, 0);

/* Details of a voice referral: whom to call and what to quote. */
typedef struct VoiceReferralInfos_out {
    short DiagRequestOut;
    char PhoneNumberOut[17];
    char MerchantIdOut[17];
    char HostMessageOut[17];
} VoiceReferralInfos_out;
KORVEX_ASSERT_SIZE(VoiceReferralInfos_out, 54);
KORVEX_ASSERT_LAYOUT(VoiceReferralInfos_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(VoiceReferralInfos_out, PhoneNumberOut, 2);
KORVEX_ASSERT_LAYOUT(VoiceReferralInfos_out, MerchantIdOut, 19);
KORVEX_ASSERT_LAYOUT(VoiceReferralInfos_out, HostMessageOut, 36);

/* Outcome of a voice referral. */
typedef struct VoiceReferralStatus_in {
    char AuthorisationCodeIn[7]; /* all NUL when none */
    short AuthorisationStatusIn; /* 2 authorised by phone, 1 or 0 otherwise */
} VoiceReferralStatus_in;
KORVEX_ASSERT_SIZE(VoiceReferralStatus_in, 10);
KORVEX_ASSERT_LAYOUT(VoiceReferralStatus_in, AuthorisationCodeIn, 0);
KORVEX_ASSERT_LAYOUT(VoiceReferralStatus_in, AuthorisationStatusIn, 8);

typedef struct VoiceReferralStatus_out {
    short DiagRequestOut;
} VoiceReferralStatus_out;
KORVEX_ASSERT_SIZE(VoiceReferralStatus_out, 2);
KORVEX_ASSERT_LAYOUT(VoiceReferralStatus_out, DiagRequestOut, 0);

/* Which password the terminal asks for, and which attempt this is. */
typedef struct PasswordParamsOut {
    unsigned char AttemptNumberOut;
    unsigned char MaximumAttemptOut;
    short PasswordTypeOut; /* 0 user, 1 supervisor, 2 refund, 3 void */
    short DiagRequestOut;
} PasswordParamsOut;
KORVEX_ASSERT_SIZE(PasswordParamsOut, 6);
KORVEX_ASSERT_LAYOUT(PasswordParamsOut, AttemptNumberOut, 0);
KORVEX_ASSERT_LAYOUT(PasswordParamsOut, MaximumAttemptOut, 1);
KORVEX_ASSERT_LAYOUT(PasswordParamsOut, PasswordTypeOut, 2);
KORVEX_ASSERT_LAYOUT(PasswordParamsOut, DiagRequestOut, 4);

/* Partial authorisation details; also the response of SetPartialAuthStatus. */
typedef struct PartialAuthOut {
    char AcquirerMerchantIDOut[17];
    char PartialAmountOut[13];
    short DiagRequestOut;
} PartialAuthOut;
KORVEX_ASSERT_SIZE(PartialAuthOut, 32);
KORVEX_ASSERT_LAYOUT(PartialAuthOut, AcquirerMerchantIDOut, 0);
KORVEX_ASSERT_LAYOUT(PartialAuthOut, PartialAmountOut, 17);
KORVEX_ASSERT_LAYOUT(PartialAuthOut, DiagRequestOut, 30);

/* The cashier's answer to a partial authorisation (passed by value). */
typedef struct PartialAuthIn {
    short PartialAuthStatusIn; /* 0 accept, 1 decline */
} PartialAuthIn;
KORVEX_ASSERT_SIZE(PartialAuthIn, 2);
KORVEX_ASSERT_LAYOUT(PartialAuthIn, PartialAuthStatusIn, 0);

/* Address verification result; also the response of SetAVSRejectionStatus. */
typedef struct AVSRejectionOut {
    char AVSResponseOut[2];
    short DiagRequestOut;
} AVSRejectionOut;
KORVEX_ASSERT_SIZE(AVSRejectionOut, 4);
KORVEX_ASSERT_LAYOUT(AVSRejectionOut, AVSResponseOut, 0);
KORVEX_ASSERT_LAYOUT(AVSRejectionOut, DiagRequestOut, 2);

/* The cashier's answer to an AVS rejection (passed by value). */
typedef struct AVSRejectionIn {
    short AVSRejectionStatusIn; /* 0 accept, 1 decline */
} AVSRejectionIn;
KORVEX_ASSERT_SIZE(AVSRejectionIn, 2);
KORVEX_ASSERT_LAYOUT(AVSRejectionIn, AVSRejectionStatusIn, 0);

/* Dynamic currency conversion quotation of the running transaction. */
typedef struct DCCQuotationDataOut {
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char AcquirerMerchantIdOut[17];
    char TerminalIdentifierOut[17];
    char SchemeLabelOut[25];
    char Last4DigitsCardOut[20];
    char CardExpiryDateOut[5];
    char CurrentDCCDateOut[9];
    char CurrentDCCTimeOut[6];
    char DCCTxnCurrencyNameOut[43];
    char LocalCurrencyAmountValueOut[13];
    char TerminalCurrencyCodeOut[4];
    short TerminalCurrencyExponentOut;
    char ConversionRateValueOut[9];
    char CommissionValueOut[5];
    char ExchangeRateMarkUpValueOut[4];
    char ReferenceRateProviderOut[256];
    char CurrencyConversionProviderOut[256];
    char DCCAmountOut[13];
    char CardCurrencyCodeOut[4];
    short CardCurrencyExpOut;
    short FXExponentAppliedOut;
    short DiagRequestOut;
} DCCQuotationDataOut;
KORVEX_ASSERT_SIZE(DCCQuotationDataOut, 840);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, MerchantNameOut, 0);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, MerchantAddress1Out, 25);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, MerchantAddress2Out, 50);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, MerchantAddress3Out, 75);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, MerchantAddress4Out, 100);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, AcquirerMerchantIdOut, 125);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, TerminalIdentifierOut, 142);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, SchemeLabelOut, 159);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, Last4DigitsCardOut, 184);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CardExpiryDateOut, 204);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CurrentDCCDateOut, 209);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CurrentDCCTimeOut, 218);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, DCCTxnCurrencyNameOut, 224);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, LocalCurrencyAmountValueOut, 267);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, TerminalCurrencyCodeOut, 280);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, TerminalCurrencyExponentOut, 284);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, ConversionRateValueOut, 286);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CommissionValueOut, 295);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, ExchangeRateMarkUpValueOut, 300);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, ReferenceRateProviderOut, 304);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CurrencyConversionProviderOut, 560);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, DCCAmountOut, 816);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CardCurrencyCodeOut, 829);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, CardCurrencyExpOut, 834);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, FXExponentAppliedOut, 836);
KORVEX_ASSERT_LAYOUT(DCCQuotationDataOut, DiagRequestOut, 838);

/* ---- Terminal status and configuration ----------------------------------- */

/* The terminal's current state. */
typedef struct Status_out {
    short StateOut;
    short DiagRequestOut;
} Status_out;
KORVEX_ASSERT_SIZE(Status_out, 4);
KORVEX_ASSERT_LAYOUT(Status_out, StateOut, 0);
KORVEX_ASSERT_LAYOUT(Status_out, DiagRequestOut, 2);

/* Date and time for the terminal, each field two decimal digits and a NUL. */
typedef struct TimeDate_in {
    char YearIn[3]; /* year minus 2000 */
    char MonthIn[3];
    char DayIn[3];
    char HourIn[3];
    char MinuteIn[3];
    char SecondIn[3];
} TimeDate_in;
KORVEX_ASSERT_SIZE(TimeDate_in, 18);
KORVEX_ASSERT_LAYOUT(TimeDate_in, YearIn, 0);
KORVEX_ASSERT_LAYOUT(TimeDate_in, MonthIn, 3);
KORVEX_ASSERT_LAYOUT(TimeDate_in, DayIn, 6);
KORVEX_ASSERT_LAYOUT(TimeDate_in, HourIn, 9);
KORVEX_ASSERT_LAYOUT(TimeDate_in, MinuteIn, 12);
KORVEX_ASSERT_LAYOUT(TimeDate_in, SecondIn, 15);

typedef struct TimeDate_out {
    short DiagRequestOut;
    short StatusOut; /* 0: accepted */
} TimeDate_out;
KORVEX_ASSERT_SIZE(TimeDate_out, 4);
KORVEX_ASSERT_LAYOUT(TimeDate_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(TimeDate_out, StatusOut, 2);

/* Address of the terminal on the network. */
typedef struct SetTerminalIPAddress_InOut {
    char IPAddressIn[16]; /* dotted text, NUL-terminated */
    short DiagRequestOut;
} SetTerminalIPAddress_InOut;
KORVEX_ASSERT_SIZE(SetTerminalIPAddress_InOut, 18);
KORVEX_ASSERT_LAYOUT(SetTerminalIPAddress_InOut, IPAddressIn, 0);
KORVEX_ASSERT_LAYOUT(SetTerminalIPAddress_InOut, DiagRequestOut, 16);

/* Certificate file that the library uses to reach the terminal. */
typedef struct SetSSLCertificate_InOut {
    char PathIn[256]; /* NUL-terminated */
    short DiagRequestOut;
} SetSSLCertificate_InOut;
KORVEX_ASSERT_SIZE(SetSSLCertificate_InOut, 258);
KORVEX_ASSERT_LAYOUT(SetSSLCertificate_InOut, PathIn, 0);
KORVEX_ASSERT_LAYOUT(SetSSLCertificate_InOut, DiagRequestOut, 256);

/* Answer to the terminal's password request. */
typedef struct SetPasswordIn {
    char PasswordIn[9];  /* a 9-character one ends at the zero padding byte after it */
    short EntryStatusIn; /* 1 or 0 */
} SetPasswordIn;
KORVEX_ASSERT_SIZE(SetPasswordIn, 12);
KORVEX_ASSERT_LAYOUT(SetPasswordIn, PasswordIn, 0);
KORVEX_ASSERT_LAYOUT(SetPasswordIn, EntryStatusIn, 10);

typedef struct SetPasswordOut {
    short DiagRequestOut;
} SetPasswordOut;
KORVEX_ASSERT_SIZE(SetPasswordOut, 2);
KORVEX_ASSERT_LAYOUT(SetPasswordOut, DiagRequestOut, 0);

/* Switches the printing of transaction receipts. */
typedef struct InitTxnReceiptPrint_InOut {
    short StatusIn; /* 0 printing off, 1 on */
    short DiagRequestOut;
} InitTxnReceiptPrint_InOut;
KORVEX_ASSERT_SIZE(InitTxnReceiptPrint_InOut, 4);
KORVEX_ASSERT_LAYOUT(InitTxnReceiptPrint_InOut, StatusIn, 0);
KORVEX_ASSERT_LAYOUT(InitTxnReceiptPrint_InOut, DiagRequestOut, 2);

/* Log folder and tracing of the library's messages. The library writes back
 * the folder and the state it applied. Names spelt as the library spells them. */
typedef struct SetTraceTlvMessagesEnabelement_InOut {
    char FolderPathInOut[256];
    unsigned char TraceEnabelementINOut; /* 0 off, other values on */
    short DiagRequestOut;
} SetTraceTlvMessagesEnabelement_InOut;
KORVEX_ASSERT_SIZE(SetTraceTlvMessagesEnabelement_InOut, 260);
KORVEX_ASSERT_LAYOUT(SetTraceTlvMessagesEnabelement_InOut, FolderPathInOut, 0);
KORVEX_ASSERT_LAYOUT(SetTraceTlvMessagesEnabelement_InOut, TraceEnabelementINOut, 256);
KORVEX_ASSERT_LAYOUT(SetTraceTlvMessagesEnabelement_InOut, DiagRequestOut, 258);

/* ---- Card and terminal queries ------------------------------------------- */

/* Whether a transaction type is allowed, with its limits. */
typedef struct CheckEligibility_in {
    char TransactionTypeIn[3]; /* "00" to "15" and a NUL */
} CheckEligibility_in;
KORVEX_ASSERT_SIZE(CheckEligibility_in, 3);
KORVEX_ASSERT_LAYOUT(CheckEligibility_in, TransactionTypeIn, 0);

typedef struct CheckEligibility_out {
    short DiagRequestOut;
    char CeilingLimitOut[13];
    char CashCeilingLimitOut[13];
    char CurrencyCodeOut[4];
    signed char EligibilityResultOut; /* 0 or 1 */
    signed char CashBackEligibilityOut;
    signed char IsCommercialCodeRequiredOut;
} CheckEligibility_out;
KORVEX_ASSERT_SIZE(CheckEligibility_out, 36);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, CeilingLimitOut, 2);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, CashCeilingLimitOut, 15);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, CurrencyCodeOut, 28);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, EligibilityResultOut, 32);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, CashBackEligibilityOut, 33);
KORVEX_ASSERT_LAYOUT(CheckEligibility_out, IsCommercialCodeRequiredOut, 34);

/* Authenticity check of the PIN entry device. */
typedef struct PEDAuthentication_in {
    char pedSerialNbrIn[9];
} PEDAuthentication_in;
KORVEX_ASSERT_SIZE(PEDAuthentication_in, 9);
KORVEX_ASSERT_LAYOUT(PEDAuthentication_in, pedSerialNbrIn, 0);

typedef struct PEDAuthentication_out {
    short StateOut; /* 0 authentic, 1 not */
    short DiagRequestOut;
} PEDAuthentication_out;
KORVEX_ASSERT_SIZE(PEDAuthentication_out, 4);
KORVEX_ASSERT_LAYOUT(PEDAuthentication_out, StateOut, 0);
KORVEX_ASSERT_LAYOUT(PEDAuthentication_out, DiagRequestOut, 2);

/* The three magnetic tracks of a swiped card (the call has no request). */
typedef struct ReadTracks_out {
    short DiagRequestOut;
    char Track1BufferOut[80];
    char Track2BufferOut[41];
    char Track3BufferOut[108];
    short Track1StatusOut; /* read status of each track, 0 to 9 */
    short Track2StatusOut;
    short Track3StatusOut;
} ReadTracks_out;
KORVEX_ASSERT_SIZE(ReadTracks_out, 238);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, Track1BufferOut, 2);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, Track2BufferOut, 82);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, Track3BufferOut, 123);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, Track1StatusOut, 232);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, Track2StatusOut, 234);
KORVEX_ASSERT_LAYOUT(ReadTracks_out, Track3StatusOut, 236);

/* Free text for the terminal's printer. */
typedef struct PrintInformation_in {
    char PrintBufferIn[256]; /* line feeds written as the two characters \n */
} PrintInformation_in;
KORVEX_ASSERT_SIZE(PrintInformation_in, 256);
KORVEX_ASSERT_LAYOUT(PrintInformation_in, PrintBufferIn, 0);

typedef struct PrintInformation_out {
    short DiagRequestOut;
    short StatusOut; /* 0: printed */
} PrintInformation_out;
KORVEX_ASSERT_SIZE(PrintInformation_out, 4);
KORVEX_ASSERT_LAYOUT(PrintInformation_out, DiagRequestOut, 0);
KORVEX_ASSERT_LAYOUT(PrintInformation_out, StatusOut, 2);

/* Whether one of the terminal's applications is enabled. */
typedef struct CheckApplicationEnablementIn {
    short ApplicationIdIn; /* 0 to 4 */
} CheckApplicationEnablementIn;
KORVEX_ASSERT_SIZE(CheckApplicationEnablementIn, 2);
KORVEX_ASSERT_LAYOUT(CheckApplicationEnablementIn, ApplicationIdIn, 0);

typedef struct CheckApplicationEnablementOut {
    short EnablementResultOut; /* 0 not enabled, 1 enabled */
    short DiagRequestOut;
} CheckApplicationEnablementOut;
KORVEX_ASSERT_SIZE(CheckApplicationEnablementOut, 4);
KORVEX_ASSERT_LAYOUT(CheckApplicationEnablementOut, EnablementResultOut, 0);
KORVEX_ASSERT_LAYOUT(CheckApplicationEnablementOut, DiagRequestOut, 2);

/* ---- Settlement and reporting -------------------------------------------- */

/* Request of DoSettlement, GetSettlementData and
 * GetTransactionDetailDataRecord (passed by value). */
typedef struct SettlementRequestIn {
    char MessageNumberIn[3];
    short TxnDetailDataRecordIndexIn; /* record number from 1; 0 otherwise */
    short SettlementRecordTypeIn;     /* 0 for a settlement */
} SettlementRequestIn;
KORVEX_ASSERT_SIZE(SettlementRequestIn, 8);
KORVEX_ASSERT_LAYOUT(SettlementRequestIn, MessageNumberIn, 0);
KORVEX_ASSERT_LAYOUT(SettlementRequestIn, TxnDetailDataRecordIndexIn, 4);
KORVEX_ASSERT_LAYOUT(SettlementRequestIn, SettlementRecordTypeIn, 6);

/* Batch totals of a settlement or of the settlement data. */
typedef struct SettlementResponseOut {
    char MessageNumberOut[3];
    char SettlementStatusOut[2]; /* one digit */
    char SettlementDateTimeOut[13];
    char SettleResponseOut[17];
    char HelpDeskNumberOut[17];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char AcquirerMerchantIDOut[17];
    char TerminalIdentifierOut[17];
    char TerminalCountryCodeOut[4];
    char TerminalCurrencyCodeOut[4];
    short TerminalCurrencyExponentOut;
    char BatchNumberOut[4];
    char AcquirerNameOut[17];
    char CashBacksCountOut[9];
    char CashBacksAmountOut[13];
    char DebitCountOut[9];
    char DebitAmountOut[13];
    char CreditCountOut[9];
    char CreditAmountOut[13];
    char SalesVoidCountOut[9];
    char SalesVoidAmountOut[13];
    char RefundsVoidCountOut[9];
    char RefundsVoidAmountOut[13];
    short IsGratuityEnabledOut;
    char GratuityAmountOut[13];
    short IsShiftProcessEnabledOut;
    short SumOrDetailReportOut;
    short TransactionDetailDataRecordNumberOut; /* detail records to fetch */
    short DiagRequestOut;
} SettlementResponseOut;
KORVEX_ASSERT_SIZE(SettlementResponseOut, 378);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, MessageNumberOut, 0);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, SettlementStatusOut, 3);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, SettlementDateTimeOut, 5);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, SettleResponseOut, 18);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, HelpDeskNumberOut, 35);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, MerchantNameOut, 52);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, MerchantAddress1Out, 77);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, MerchantAddress2Out, 102);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, MerchantAddress3Out, 127);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, MerchantAddress4Out, 152);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, AcquirerMerchantIDOut, 177);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, TerminalIdentifierOut, 194);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, TerminalCountryCodeOut, 211);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, TerminalCurrencyCodeOut, 215);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, TerminalCurrencyExponentOut, 220);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, BatchNumberOut, 222);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, AcquirerNameOut, 226);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, CashBacksCountOut, 243);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, CashBacksAmountOut, 252);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, DebitCountOut, 265);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, DebitAmountOut, 274);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, CreditCountOut, 287);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, CreditAmountOut, 296);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, SalesVoidCountOut, 309);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, SalesVoidAmountOut, 318);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, RefundsVoidCountOut, 331);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, RefundsVoidAmountOut, 340);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, IsGratuityEnabledOut, 354);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, GratuityAmountOut, 356);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, IsShiftProcessEnabledOut, 370);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, SumOrDetailReportOut, 372);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, TransactionDetailDataRecordNumberOut, 374);
KORVEX_ASSERT_LAYOUT(SettlementResponseOut, DiagRequestOut, 376);

/* One transaction detail record of the latest settlement response. */
typedef struct SettlementDataRecordOut {
    char DateTimeOut[13];
    char InvoiceNumberOut[7];
    char ShiftNumberOut[9];
    char TransactionTypeOut[3];
    char VoidedTransactionTypeOut[3];
    char AuthorisationCodeOut[7];
    char AVSResponseOut[2];
    short BankTypeOut; /* 0 non bank funded, 1 bank funded */
    char CardSchemeNameOut[25];
    char CardTypeOut[3];
    char PANOut[20];
    char EntryMethodOut[2];
    char TransactionCurrencyCodeOut[4];
    char TotalAmountOut[13];
    char AdditionalAmountOut[13];
    short IsDCCTxnOut;
    char DCCTransactionCurrencyCodeOut[4];
    short IsDCCTxnAcceptedOut;
    char DCCAmountOut[13];
    short IsDCCTxnEligibleOut;
    char DCCTipAmountOut[13];
    char ConversionRateOut[9];
    short FXExponentAppliedOut;
    short DiagRequestOut;
} SettlementDataRecordOut;
KORVEX_ASSERT_SIZE(SettlementDataRecordOut, 176);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, DateTimeOut, 0);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, InvoiceNumberOut, 13);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, ShiftNumberOut, 20);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, TransactionTypeOut, 29);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, VoidedTransactionTypeOut, 32);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, AuthorisationCodeOut, 35);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, AVSResponseOut, 42);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, BankTypeOut, 44);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, CardSchemeNameOut, 46);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, CardTypeOut, 71);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, PANOut, 74);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, EntryMethodOut, 94);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, TransactionCurrencyCodeOut, 96);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, TotalAmountOut, 100);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, AdditionalAmountOut, 113);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, IsDCCTxnOut, 126);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, DCCTransactionCurrencyCodeOut, 128);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, IsDCCTxnAcceptedOut, 132);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, DCCAmountOut, 134);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, IsDCCTxnEligibleOut, 148);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, DCCTipAmountOut, 150);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, ConversionRateOut, 163);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, FXExponentAppliedOut, 172);
KORVEX_ASSERT_LAYOUT(SettlementDataRecordOut, DiagRequestOut, 174);

/* Tip change of a stored transaction, found by its invoice number. */
typedef struct AdjustTipAmountIn {
    char InvoiceNumberIn[7];
    char TotalAmountIn[13];
    char OldTipAmountIn[13];
    char NewTipAmountIn[13];
    char CashierIdIn[5];
} AdjustTipAmountIn;
KORVEX_ASSERT_SIZE(AdjustTipAmountIn, 51);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountIn, InvoiceNumberIn, 0);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountIn, TotalAmountIn, 7);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountIn, OldTipAmountIn, 20);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountIn, NewTipAmountIn, 33);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountIn, CashierIdIn, 46);

typedef struct AdjustTipAmountOut {
    short TipUpdateResultOut; /* 1 changed, 0 not */
    short DiagRequestOut;
} AdjustTipAmountOut;
KORVEX_ASSERT_SIZE(AdjustTipAmountOut, 4);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountOut, TipUpdateResultOut, 0);
KORVEX_ASSERT_LAYOUT(AdjustTipAmountOut, DiagRequestOut, 2);

/* Exchange rate update request (passed by value). */
typedef struct ExchangeRateUpdateIn {
    short UpdateMethodIn; /* 0 or 1 */
} ExchangeRateUpdateIn;
KORVEX_ASSERT_SIZE(ExchangeRateUpdateIn, 2);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateIn, UpdateMethodIn, 0);

/* Rate of one currency; also the element of ExchangeRateUpdateOut. */
typedef struct CurrencyDetailsRecordOut {
    char CurrencyCodeOut[4];
    short ConversionExponentOut;
    char ConversionRateOut[9];
    short DiagRequestOut;
} CurrencyDetailsRecordOut;
KORVEX_ASSERT_SIZE(CurrencyDetailsRecordOut, 18);
KORVEX_ASSERT_LAYOUT(CurrencyDetailsRecordOut, CurrencyCodeOut, 0);
KORVEX_ASSERT_LAYOUT(CurrencyDetailsRecordOut, ConversionExponentOut, 4);
KORVEX_ASSERT_LAYOUT(CurrencyDetailsRecordOut, ConversionRateOut, 6);
KORVEX_ASSERT_LAYOUT(CurrencyDetailsRecordOut, DiagRequestOut, 16);

/* Outcome of an exchange rate update. The console reads the currencies
 * with GetCurrencyDetails rather than from the embedded array. */
typedef struct ExchangeRateUpdateOut {
    short OperationStatusOut;
    char AuthorisationResponseOut[17];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char ProfileIDOut[9];
    char DateTimeOut[13];
    short NumberOfAvailableCurrenciesOut; /* currency records to fetch */
    CurrencyDetailsRecordOut CurrencyDetailsRecordsOut[64];
    short DiagRequestOut;
} ExchangeRateUpdateOut;
KORVEX_ASSERT_SIZE(ExchangeRateUpdateOut, 1322);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, OperationStatusOut, 0);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, AuthorisationResponseOut, 2);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, MerchantNameOut, 19);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, MerchantAddress1Out, 44);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, MerchantAddress2Out, 69);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, MerchantAddress3Out, 94);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, MerchantAddress4Out, 119);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, ProfileIDOut, 144);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, DateTimeOut, 153);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, NumberOfAvailableCurrenciesOut, 166);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, CurrencyDetailsRecordsOut, 168);
KORVEX_ASSERT_LAYOUT(ExchangeRateUpdateOut, DiagRequestOut, 1320);

/* Tax-free refund request (passed by value). */
typedef struct TFRTransactionIn {
    char MessageNumberIn[3];
    char TaxFreeFormNumberIn[6];
    short PaymentMethodIn; /* 0 or 1 */
    char SaleCashAmountIn[9];
} TFRTransactionIn;
KORVEX_ASSERT_SIZE(TFRTransactionIn, 22);
KORVEX_ASSERT_LAYOUT(TFRTransactionIn, MessageNumberIn, 0);
KORVEX_ASSERT_LAYOUT(TFRTransactionIn, TaxFreeFormNumberIn, 3);
KORVEX_ASSERT_LAYOUT(TFRTransactionIn, PaymentMethodIn, 10);
KORVEX_ASSERT_LAYOUT(TFRTransactionIn, SaleCashAmountIn, 12);

/* The tax-free form; the 401-byte fields hold up to 400 characters of form text. */
typedef struct TFRTransactionOut {
    char MessageNumberOut[3];
    char TransactionStatusOut[2]; /* one digit: 0 failed, 1 successful */
    char VATRateOut[5];
    char VATAmountOut[9];
    char FullPriceOut[9];
    char ExVATPriceOut[9];
    char TaxRefundAmountOut[9];
    char AdministrationFeeOut[9];
    char DateOfSaleOut[8];
    char TimeOfSaleOut[5];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char TFWWNameOut[401];
    char TFWWAddressOut[401];
    char TFWWWebAddressOut[401];
    char TFWWTelNumberOut[401];
    char VATNumberLabelOut[401];
    char VATNumberOut[14];
    char CustomerDeclarationOut[401];
    char CustomerAddressOut[401];
    char CustomerPassportOut[401];
    char CustomerIssuerGovernmentOut[401];
    char CustomerDeclarationStatement1Out[401];
    char CustomerDeclarationStatement2Out[401];
    char RetailerDeclarationHeadingOut[401];
    char RetailerSignatureOut[401];
    char RetailerDeclarationIMPORTANTOut[401];
    char RetailerInstructionLine1Out[401];
    char RetailerInstructionLine2Out[401];
    char ExportHeadingOut[401];
    char ExportWarningOut[401];
    char DataProtectionActOut[401];
    char DataStatement1Out[401];
    char DataStatement2Out[401];
    char DataStatement3Out[401];
    char DataStatement4Out[401];
    short CountryCodeOut;
    short FormTypeOut;
    char CustNumberOut[6];
    char PosIDOut[3];
    char CurrencyCodeOut[4];
    short CurrencyExpOut;
    char CardPANOut[20];
    char CardExpiryDateOut[5];
    char CardTypeOut[3];
    char Barcode1Out[15];
    char Barcode2Out[15];
    char CardSalesStatement1Out[401];
    char CardSalesStatement2Out[401];
    char CardSalesStatement3Out[401];
    char CardSalesStatement4Out[401];
    char CardSalesStatement5Out[401];
    char CashStringOut[401];
    char OffUseStatement1Out[401];
    char OffUseStatement2Out[401];
    short DiagRequestOut;
} TFRTransactionOut;
KORVEX_ASSERT_SIZE(TFRTransactionOut, 12668);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, MessageNumberOut, 0);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TransactionStatusOut, 3);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, VATRateOut, 5);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, VATAmountOut, 10);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, FullPriceOut, 19);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, ExVATPriceOut, 28);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TaxRefundAmountOut, 37);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, AdministrationFeeOut, 46);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DateOfSaleOut, 55);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TimeOfSaleOut, 63);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, MerchantNameOut, 68);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, MerchantAddress1Out, 93);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, MerchantAddress2Out, 118);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TFWWNameOut, 143);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TFWWAddressOut, 544);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TFWWWebAddressOut, 945);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, TFWWTelNumberOut, 1346);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, VATNumberLabelOut, 1747);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, VATNumberOut, 2148);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustomerDeclarationOut, 2162);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustomerAddressOut, 2563);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustomerPassportOut, 2964);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustomerIssuerGovernmentOut, 3365);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustomerDeclarationStatement1Out, 3766);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustomerDeclarationStatement2Out, 4167);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, RetailerDeclarationHeadingOut, 4568);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, RetailerSignatureOut, 4969);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, RetailerDeclarationIMPORTANTOut, 5370);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, RetailerInstructionLine1Out, 5771);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, RetailerInstructionLine2Out, 6172);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, ExportHeadingOut, 6573);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, ExportWarningOut, 6974);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DataProtectionActOut, 7375);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DataStatement1Out, 7776);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DataStatement2Out, 8177);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DataStatement3Out, 8578);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DataStatement4Out, 8979);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CountryCodeOut, 9380);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, FormTypeOut, 9382);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CustNumberOut, 9384);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, PosIDOut, 9390);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CurrencyCodeOut, 9393);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CurrencyExpOut, 9398);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardPANOut, 9400);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardExpiryDateOut, 9420);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardTypeOut, 9425);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, Barcode1Out, 9428);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, Barcode2Out, 9443);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardSalesStatement1Out, 9458);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardSalesStatement2Out, 9859);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardSalesStatement3Out, 10260);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardSalesStatement4Out, 10661);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CardSalesStatement5Out, 11062);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, CashStringOut, 11463);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, OffUseStatement1Out, 11864);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, OffUseStatement2Out, 12265);
KORVEX_ASSERT_LAYOUT(TFRTransactionOut, DiagRequestOut, 12666);

/* ---- Value-added services ------------------------------------------------ */

/* Donation mode: 0 round up, 1 top up. */
typedef struct PenniesDonationModeIn {
    short DonationModeIn;
} PenniesDonationModeIn;
KORVEX_ASSERT_SIZE(PenniesDonationModeIn, 2);
KORVEX_ASSERT_LAYOUT(PenniesDonationModeIn, DonationModeIn, 0);

typedef struct PenniesDonationModeOut {
    short DiagRequestOut;
} PenniesDonationModeOut;
KORVEX_ASSERT_SIZE(PenniesDonationModeOut, 2);
KORVEX_ASSERT_LAYOUT(PenniesDonationModeOut, DiagRequestOut, 0);

/* The terminal's donation configuration. */
typedef struct PenniesConfigDataOut {
    char TerminalIdentifierOut[17];
    char AcquirerMerchantIDOut[17];
    unsigned char DonationModeOut; /* 0 round up, 1 top up */
    char TopUpAmountOut[3];
    char MaxTxnVolumeOut[4];
    char MaxTxnValueOut[6];
    char MaxUploadIntervalOut[4];
    char DonationTimeoutOut[4];
    char UploadWindowStartOut[5];
    char UploadWindowsEndOut[5];
    unsigned char TxnUploadRequiredOut;
    char TxnCountOut[6];
    char TxnValueOut[6];
    char LastUploadDateOut[9];
    char MinTopUpAmountOut[3];
    char MaxTopUpAmountOut[3];
    unsigned char TopUpAmountIncrementStepOut;
    short DiagRequestOut;
} PenniesConfigDataOut;
KORVEX_ASSERT_SIZE(PenniesConfigDataOut, 98);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, TerminalIdentifierOut, 0);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, AcquirerMerchantIDOut, 17);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, DonationModeOut, 34);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, TopUpAmountOut, 35);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, MaxTxnVolumeOut, 38);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, MaxTxnValueOut, 42);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, MaxUploadIntervalOut, 48);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, DonationTimeoutOut, 52);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, UploadWindowStartOut, 56);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, UploadWindowsEndOut, 61);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, TxnUploadRequiredOut, 66);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, TxnCountOut, 67);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, TxnValueOut, 73);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, LastUploadDateOut, 79);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, MinTopUpAmountOut, 88);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, MaxTopUpAmountOut, 91);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, TopUpAmountIncrementStepOut, 94);
KORVEX_ASSERT_LAYOUT(PenniesConfigDataOut, DiagRequestOut, 96);

/* Mobile top-up configuration request. */
typedef struct MobileTopUpConfigurationDataIn {
    short GetMobileTopUpConfigFlagIn;
} MobileTopUpConfigurationDataIn;
KORVEX_ASSERT_SIZE(MobileTopUpConfigurationDataIn, 2);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataIn, GetMobileTopUpConfigFlagIn, 0);

/* Mobile top-up configuration; its products are fetched with GetProductData. */
typedef struct MobileTopUpConfigurationDataOut {
    char ProfileIDOut[9];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char AcquirerMerchantIDOut[17];
    char TerminalIdentifierOut[17];
    char TerminalCurrencyOut[4];
    char BarcodeFormatOut[25];
    unsigned char BarcodeWidthOut;
    unsigned short BarcodeHeightOut;
    unsigned char BarcodePrintEnabledOut;
    unsigned char MerchCopyPrintEnabledOut;
    unsigned char MobileTopUpProductNumberOut; /* products to fetch */
    short DiagRequestOut;
} MobileTopUpConfigurationDataOut;
KORVEX_ASSERT_SIZE(MobileTopUpConfigurationDataOut, 206);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, ProfileIDOut, 0);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MerchantNameOut, 9);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MerchantAddress1Out, 34);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MerchantAddress2Out, 59);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MerchantAddress3Out, 84);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MerchantAddress4Out, 109);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, AcquirerMerchantIDOut, 134);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, TerminalIdentifierOut, 151);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, TerminalCurrencyOut, 168);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, BarcodeFormatOut, 172);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, BarcodeWidthOut, 197);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, BarcodeHeightOut, 198);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, BarcodePrintEnabledOut, 200);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MerchCopyPrintEnabledOut, 201);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, MobileTopUpProductNumberOut, 202);
KORVEX_ASSERT_LAYOUT(MobileTopUpConfigurationDataOut, DiagRequestOut, 204);

/* One mobile top-up product. */
typedef struct ProductDataRecordOut {
    char ProductIdOut[5];
    char ProductNameOut[17];
    char AmountsInfoOut[401];
    char CustomTextOut[3001];
    unsigned char VarAmountEntryOut;
    short DiagRequestOut;
} ProductDataRecordOut;
KORVEX_ASSERT_SIZE(ProductDataRecordOut, 3428);
KORVEX_ASSERT_LAYOUT(ProductDataRecordOut, ProductIdOut, 0);
KORVEX_ASSERT_LAYOUT(ProductDataRecordOut, ProductNameOut, 5);
KORVEX_ASSERT_LAYOUT(ProductDataRecordOut, AmountsInfoOut, 22);
KORVEX_ASSERT_LAYOUT(ProductDataRecordOut, CustomTextOut, 423);
KORVEX_ASSERT_LAYOUT(ProductDataRecordOut, VarAmountEntryOut, 3424);
KORVEX_ASSERT_LAYOUT(ProductDataRecordOut, DiagRequestOut, 3426);

/* Voucher sale request. */
typedef struct MobileTopUpReqIn {
    char MessageNumberIn[3];
    char VoucherAmountIn[6];
    unsigned char VoucherNumbersIn; /* how many vouchers */
    char ProductIdIn[5];
    char CashierIdIn[5];
    char GSMPasswordIn[5];
} MobileTopUpReqIn;
KORVEX_ASSERT_SIZE(MobileTopUpReqIn, 25);
KORVEX_ASSERT_LAYOUT(MobileTopUpReqIn, MessageNumberIn, 0);
KORVEX_ASSERT_LAYOUT(MobileTopUpReqIn, VoucherAmountIn, 3);
KORVEX_ASSERT_LAYOUT(MobileTopUpReqIn, VoucherNumbersIn, 9);
KORVEX_ASSERT_LAYOUT(MobileTopUpReqIn, ProductIdIn, 10);
KORVEX_ASSERT_LAYOUT(MobileTopUpReqIn, CashierIdIn, 15);
KORVEX_ASSERT_LAYOUT(MobileTopUpReqIn, GSMPasswordIn, 20);

/* One sold voucher; also the element of MobileTopUpRespOut. */
typedef struct VoucherRecordOut {
    char VoucherSerialNumberOut[25];
    char VoucherCodeOut[33];
    char VoucherExpDateOut[9];
    char AuthCodeOut[7];
    char InvoiceNumberOut[7];
    short DiagRequestOut;
} VoucherRecordOut;
KORVEX_ASSERT_SIZE(VoucherRecordOut, 84);
KORVEX_ASSERT_LAYOUT(VoucherRecordOut, VoucherSerialNumberOut, 0);
KORVEX_ASSERT_LAYOUT(VoucherRecordOut, VoucherCodeOut, 25);
KORVEX_ASSERT_LAYOUT(VoucherRecordOut, VoucherExpDateOut, 58);
KORVEX_ASSERT_LAYOUT(VoucherRecordOut, AuthCodeOut, 67);
KORVEX_ASSERT_LAYOUT(VoucherRecordOut, InvoiceNumberOut, 74);
KORVEX_ASSERT_LAYOUT(VoucherRecordOut, DiagRequestOut, 82);

/* Voucher sale response. The console reads the vouchers with
 * GetVoucherRecord rather than from the embedded array. */
typedef struct MobileTopUpRespOut {
    char MessageNumberOut[3];
    char TransactionStatusOut[2];
    char DateTimeOut[11];
    char ResponseCodeOut[3];
    char MerchantNameOut[25];
    char AcquirerMerchantIDOut[17];
    char TerminalIdentifierOut[17];
    char BatchNumberOut[7];
    char HostOptionalMessageOut[257]; /* ISO-8859-2 text */
    unsigned char VoucherNumberOut;   /* vouchers to fetch */
    VoucherRecordOut VoucherRecordsOut[5];
    short DiagRequestOut;
} MobileTopUpRespOut;
KORVEX_ASSERT_SIZE(MobileTopUpRespOut, 766);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, MessageNumberOut, 0);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, TransactionStatusOut, 3);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, DateTimeOut, 5);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, ResponseCodeOut, 16);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, MerchantNameOut, 19);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, AcquirerMerchantIDOut, 44);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, TerminalIdentifierOut, 61);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, BatchNumberOut, 78);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, HostOptionalMessageOut, 85);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, VoucherNumberOut, 342);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, VoucherRecordsOut, 344);
KORVEX_ASSERT_LAYOUT(MobileTopUpRespOut, DiagRequestOut, 764);

/* Mobile top-up settlement request. */
typedef struct MobileTopUpSettlementRespIn {
    char MessageNumberIn[3];
} MobileTopUpSettlementRespIn;
KORVEX_ASSERT_SIZE(MobileTopUpSettlementRespIn, 3);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespIn, MessageNumberIn, 0);

/* Mobile top-up settlement totals. */
typedef struct MobileTopUpSettlementRespOut {
    char MessageNumberOut[3];
    char TransactionStatusOut[2];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char AcquirerMerchantIDOut[17];
    char TerminalIdentifierOut[17];
    char SettlementDateTimeOut[11];
    char VoucherSaleCountOut[9];
    char VoucherSaleAmountOut[13];
    char VoucherRefundCountOut[9];
    char VoucherRefundAmountOut[13];
    unsigned char SuppressAuditReportOut;
    short TransactionDetailDataRecordNumberOut; /* detail records to fetch */
    short DiagRequestOut;
} MobileTopUpSettlementRespOut;
KORVEX_ASSERT_SIZE(MobileTopUpSettlementRespOut, 224);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, MessageNumberOut, 0);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, TransactionStatusOut, 3);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, MerchantNameOut, 5);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, MerchantAddress1Out, 30);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, MerchantAddress2Out, 55);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, MerchantAddress3Out, 80);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, MerchantAddress4Out, 105);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, AcquirerMerchantIDOut, 130);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, TerminalIdentifierOut, 147);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, SettlementDateTimeOut, 164);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, VoucherSaleCountOut, 175);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, VoucherSaleAmountOut, 184);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, VoucherRefundCountOut, 197);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, VoucherRefundAmountOut, 206);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, SuppressAuditReportOut, 219);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, TransactionDetailDataRecordNumberOut, 220);
KORVEX_ASSERT_LAYOUT(MobileTopUpSettlementRespOut, DiagRequestOut, 222);

/* One detail record of the latest mobile top-up settlement. */
typedef struct MTPSettlementDataRecordOut {
    char DateTimeOut[11];
    char ProductIdOut[5];
    char ProductNameOut[17];
    unsigned char TransactionTypeOut;
    char InvoiceNumberOut[7];
    char VoucherSerialNumberOut[25];
    char VoucherAmountOut[13];
    short DiagRequestOut;
} MTPSettlementDataRecordOut;
KORVEX_ASSERT_SIZE(MTPSettlementDataRecordOut, 82);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, DateTimeOut, 0);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, ProductIdOut, 11);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, ProductNameOut, 16);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, TransactionTypeOut, 33);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, InvoiceNumberOut, 34);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, VoucherSerialNumberOut, 41);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, VoucherAmountOut, 66);
KORVEX_ASSERT_LAYOUT(MTPSettlementDataRecordOut, DiagRequestOut, 80);

/* ---- Calls --------------------------------------------------------------- */

/* Each call blocks until the terminal has answered and reports through the
 * DiagRequestOut of its response record. The console never uses a call's
 * result, so every call returns void.
 *
 * Records pass by address, the request first and the response second, except
 * where a request is passed by value. Request records that the library only
 * reads are const; *_InOut records are written back.
 *
 * A record fetch returns one record of the latest multi-record response; its
 * record number counts from 1.
 *
 * Calls overlap: WaitTerminalEvent and Transaction_Launch block on their own
 * threads while the cashier's answers call in, so the library must accept
 * concurrent calls. */

#ifdef __cplusplus
extern "C" {
#endif

/* Payment transactions */
KORVEX_API void Transaction_Launch(const Transaction_in* in, Transaction_out* out);
KORVEX_API void GetLastTxnData_Launch(GetLastTxnData_out* out);

/* Event server; StopServer makes a pending WaitTerminalEvent return with no event. */
KORVEX_API void StartServer(TerminalEventOut* out);
KORVEX_API void StopServer(TerminalEventOut* out);
KORVEX_API void WaitTerminalEvent(TerminalEventOut* inout);
KORVEX_API void SetSuspectedFraudStatus(SuspectedFraudInOut* inout);

/* The cashier's answers to terminal events */
KORVEX_API void CheckSignReq(CheckSignReceiptInfo_out* out);
KORVEX_API void SetSignStatus(const Sign_Status_in* in, Sign_Status_out* out);
KORVEX_API void CheckVoiceReferralReq(VoiceReferralInfos_out* out);
KORVEX_API void SetAuthorisation(const VoiceReferralStatus_in* in, VoiceReferralStatus_out* out);
KORVEX_API void GetPasswordParams(PasswordParamsOut* out);
KORVEX_API void GetPartialAuthData(PartialAuthOut* out);
KORVEX_API void SetPartialAuthStatus(PartialAuthIn in, PartialAuthOut* out);
KORVEX_API void GetAVSRejectionData(AVSRejectionOut* out);
KORVEX_API void SetAVSRejectionStatus(AVSRejectionIn in, AVSRejectionOut* out);
KORVEX_API void DCCQuotation(DCCQuotationDataOut* out);

/* Terminal status and configuration */
KORVEX_API void GetTerminalState(Status_out* out);
KORVEX_API void SetTimeDate(const TimeDate_in* in, TimeDate_out* out);
KORVEX_API void SetIPAddress(SetTerminalIPAddress_InOut* inout);
KORVEX_API void SetPath(SetSSLCertificate_InOut* inout);
KORVEX_API void SetPassword(const SetPasswordIn* in, SetPasswordOut* out);
KORVEX_API void SetTxnReceiptPrintStatus(InitTxnReceiptPrint_InOut* inout);
KORVEX_API void SetTraceTlvMessagesEnabelement(SetTraceTlvMessagesEnabelement_InOut* inout);

/* Card and terminal queries */
KORVEX_API void CheckEligibilityLaunch(const CheckEligibility_in* in, CheckEligibility_out* out);
KORVEX_API void CheckPEDAuthenticity(const PEDAuthentication_in* in, PEDAuthentication_out* out);
KORVEX_API void ReadSwipeCardTracks(ReadTracks_out* out);
KORVEX_API void PrintInformationsLaunch(const PrintInformation_in* in, PrintInformation_out* out);
KORVEX_API void CheckAppEnablement(const CheckApplicationEnablementIn* in,
                                   CheckApplicationEnablementOut* out);

/* Settlement and reporting. GetTransactionDetailDataRecord takes the record
 * number in TxnDetailDataRecordIndexIn. */
KORVEX_API void DoSettlement(SettlementRequestIn in, SettlementResponseOut* out);
KORVEX_API void GetSettlementData(SettlementRequestIn in, SettlementResponseOut* out);
KORVEX_API void GetTransactionDetailDataRecord(SettlementRequestIn in,
                                               SettlementDataRecordOut* out);
KORVEX_API void AdjustTipAmount(const AdjustTipAmountIn* in, AdjustTipAmountOut* out);
KORVEX_API void Exchange_Rate_Update_Launch(ExchangeRateUpdateIn in, ExchangeRateUpdateOut* out);
KORVEX_API void GetCurrencyDetails(short record_number, CurrencyDetailsRecordOut* out);
KORVEX_API void DoTaxFreeRefund(TFRTransactionIn in, TFRTransactionOut* out);

/* Value-added services */
KORVEX_API void SetPenniesDonationMode(const PenniesDonationModeIn* in,
                                       PenniesDonationModeOut* out);
KORVEX_API void GetPenniesConfiguration(PenniesConfigDataOut* out);
KORVEX_API void GetMobileTopUpConfiguration(const MobileTopUpConfigurationDataIn* in,
                                            MobileTopUpConfigurationDataOut* out);
KORVEX_API void GetProductData(short record_number, ProductDataRecordOut* out);
KORVEX_API void DoMobileTopUpTransaction(const MobileTopUpReqIn* in, MobileTopUpRespOut* out);
KORVEX_API void GetVoucherRecord(short record_number, VoucherRecordOut* out);
KORVEX_API void DoMobileTopUpSettlement(const MobileTopUpSettlementRespIn* in,
                                        MobileTopUpSettlementRespOut* out);
KORVEX_API void GetSettlementProductData(short record_number, MTPSettlementDataRecordOut* out);

#ifdef __cplusplus
}
#endif

#endif /* KORVEX_H */
