// Console-side records: the staged transaction request, the kept response, and the
// style of a receipt line (PrintJobFont).
#pragma once

#include "korvex.h"
#include "print_job_font.h"


// The transaction request as the console stages it before the library record.
struct TxnRequest {
    char MessageNumberIn[3];
    char Amount1In[13];
    char Amount2In[13];
    char Amount3In[13];
    char Amount4In[13];
    char Amount1LabelIn[20];
    char Amount2LabelIn[20];
    char Amount3LabelIn[20];
    char Amount4LabelIn[20];
    char TransactionTypeIn[3];
    char CustomLine1In[40];
    char InvoiceNumberIn[7];
    char CashierIdIn[5];
    char TableIdIn[3];
    char CommercialCodeIn[3];
    char PreAuthRefNumIn[9];
    unsigned char SuspectedFraudIndicatorIn; // first character of the input, 0 when empty
    char AuthorisationCodeIn[7];
};

// The console's copy of the last transaction response: the library's fields in its
// order, each 16-bit field but the result code kept as its low byte.
struct TxnResponse {
    short DiagRequestOut;
    char MessageNumberOut[3];
    char TransactionStatusOut[3];
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
    unsigned char TransactionCurrenyExponentOut;
    char CardCurrencyCodeOut[4];
    unsigned char CardCurrencyExpOut;
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
    unsigned char IsDCCTxnOut;
    char DCCAmountOut[13];
    char ConversionRateOut[9];
    unsigned char FXExponentAppliedOut;
    char CommissionOut[5];
    char TerminalCountryCodeOut[4];
    char TerminalCurrencyCodeOut[4];
    unsigned char TerminalCurrencyExponentOut;
    char FXmarkupOut[4];
    char PANSequenceNumberOut[3];
    char CashierIdOut[5];
    char TableIdOut[3];
    char CardholderNameOut[27];
    char AvailableBalanceOut[13];
    char ApplicationIdOut[9];
    char PreAuthRefNumOut[9];
    char HostTextOut[17];
    unsigned char IsTaxFreeRequiredOut;
    unsigned char IsExchangeRateUpdateRequiredOut;
    char CommercialCodeDataOut[61];
    char DonationAmountOut[13];
    char AVSResponseOut[2];
    char PartialAmountOut[13];
};
