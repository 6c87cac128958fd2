// One description of every record of the terminal library: each field's name,
// offset, width and kind, in the record's order. The window's displays and input
// tables, the journal and the tools read record fields through it; nobody keeps a
// second list of a record's fields.
//
// Offsets and widths come from the compiler (offsetof, sizeof), and each record's
// description is checked at compile time to cover the whole record, field after
// field, so a description cannot drift from korvex.h.
#pragma once

#include "korvex.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

enum class FieldKind : std::uint8_t {
    Text,       // characters up to the first NUL, or the whole width
    Latin2Text, // the same, in ISO-8859-2
    Pan,        // a card number: masked before it is kept anywhere
    Secret,     // track data and passwords: never kept anywhere
    VoucherCode, // a top-up voucher's code: money, kept with its last four characters only
    Records,    // an embedded array of records, read through their own calls
    Int8,
    UInt8,
    Int16,
    UInt16,
    Int32,
};

struct FieldDesc {
    const char* name;
    std::size_t offset;
    std::size_t width;
    FieldKind kind;
};

struct RecordDesc {
    const char* name;
    std::size_t size;
    std::span<const FieldDesc> fields;
};

template <class Record> struct RecordFields; // one specialisation per record below

#define KELVRA_FIELD(Record, field, kind)                                                          \
    FieldDesc { #field, offsetof(Record, field), sizeof(Record::field), FieldKind::kind }

template <> struct RecordFields<Transaction_in> {
    static constexpr const char* name = "Transaction_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(Transaction_in, MessageNumberIn, Text),
        KELVRA_FIELD(Transaction_in, Amount1In, Text),
        KELVRA_FIELD(Transaction_in, Amount2In, Text),
        KELVRA_FIELD(Transaction_in, Amount3In, Text),
        KELVRA_FIELD(Transaction_in, Amount4In, Text),
        KELVRA_FIELD(Transaction_in, Amount1LabelIn, Text),
        KELVRA_FIELD(Transaction_in, Amount2LabelIn, Text),
        KELVRA_FIELD(Transaction_in, Amount3LabelIn, Text),
        KELVRA_FIELD(Transaction_in, Amount4LabelIn, Text),
        KELVRA_FIELD(Transaction_in, TransactionTypeIn, Text),
        KELVRA_FIELD(Transaction_in, CustomLine1In, Text),
        KELVRA_FIELD(Transaction_in, InvoiceNumberIn, Text),
        KELVRA_FIELD(Transaction_in, CashierIdIn, Text),
        KELVRA_FIELD(Transaction_in, TableIdIn, Text),
        KELVRA_FIELD(Transaction_in, CommercialCodeIn, Text),
        KELVRA_FIELD(Transaction_in, PreAuthRefNumIn, Text),
        KELVRA_FIELD(Transaction_in, SuspectedFraudIndicatorIn, Int16),
        KELVRA_FIELD(Transaction_in, AuthorisationCodeIn, Text),
    };
};

template <> struct RecordFields<Transaction_out> {
    static constexpr const char* name = "Transaction_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(Transaction_out, DiagRequestOut, Int16),
        KELVRA_FIELD(Transaction_out, MessageNumberOut, Text),
        KELVRA_FIELD(Transaction_out, TransactionStatusOut, Text),
        KELVRA_FIELD(Transaction_out, EntryMethodOut, Text),
        KELVRA_FIELD(Transaction_out, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(Transaction_out, DateTimeOut, Text),
        KELVRA_FIELD(Transaction_out, CardSchemeNameOut, Text),
        KELVRA_FIELD(Transaction_out, PANOut, Pan),
        KELVRA_FIELD(Transaction_out, StartDateOut, Text),
        KELVRA_FIELD(Transaction_out, ExpiryDateOut, Text),
        KELVRA_FIELD(Transaction_out, AuthorisationCodeOut, Text),
        KELVRA_FIELD(Transaction_out, AcquirerResponseCodeOut, Text),
        KELVRA_FIELD(Transaction_out, MerchantNameOut, Text),
        KELVRA_FIELD(Transaction_out, MerchantAddress1Out, Text),
        KELVRA_FIELD(Transaction_out, MerchantAddress2Out, Text),
        KELVRA_FIELD(Transaction_out, MerchantAddress3Out, Text),
        KELVRA_FIELD(Transaction_out, MerchantAddress4Out, Text),
        KELVRA_FIELD(Transaction_out, TransactionCurrencyCodeOut, Text),
        KELVRA_FIELD(Transaction_out, TransactionCurrenyExponentOut, Int16),
        KELVRA_FIELD(Transaction_out, CardCurrencyCodeOut, Text),
        KELVRA_FIELD(Transaction_out, CardCurrencyExpOut, Int16),
        KELVRA_FIELD(Transaction_out, TotalAmountOut, Text),
        KELVRA_FIELD(Transaction_out, AdditionalAmountOut, Text),
        KELVRA_FIELD(Transaction_out, EMVCardExpDateOut, Text),
        KELVRA_FIELD(Transaction_out, AppEffectiveDateOut, Text),
        KELVRA_FIELD(Transaction_out, AIDOut, Text),
        KELVRA_FIELD(Transaction_out, AppPreferredNameOut, Text),
        KELVRA_FIELD(Transaction_out, AppLabelOut, Text),
        KELVRA_FIELD(Transaction_out, TerminalIdentifierOut, Text),
        KELVRA_FIELD(Transaction_out, EMVTxnTypeOut, Text),
        KELVRA_FIELD(Transaction_out, AppCryptogramOut, Text),
        KELVRA_FIELD(Transaction_out, RetrievalReferenceNumberOut, Text),
        KELVRA_FIELD(Transaction_out, InvoiceNumberOut, Text),
        KELVRA_FIELD(Transaction_out, BatchNumberOut, Text),
        KELVRA_FIELD(Transaction_out, AcquirerNameOut, Text),
        KELVRA_FIELD(Transaction_out, CustomLine1Out, Text),
        KELVRA_FIELD(Transaction_out, CustomLine2Out, Text),
        KELVRA_FIELD(Transaction_out, CustomLine3Out, Text),
        KELVRA_FIELD(Transaction_out, CustomLine4Out, Text),
        KELVRA_FIELD(Transaction_out, IsDCCTxnOut, Int16),
        KELVRA_FIELD(Transaction_out, DCCAmountOut, Text),
        KELVRA_FIELD(Transaction_out, ConversionRateOut, Text),
        KELVRA_FIELD(Transaction_out, FXExponentAppliedOut, Int16),
        KELVRA_FIELD(Transaction_out, CommissionOut, Text),
        KELVRA_FIELD(Transaction_out, TerminalCountryCodeOut, Text),
        KELVRA_FIELD(Transaction_out, TerminalCurrencyCodeOut, Text),
        KELVRA_FIELD(Transaction_out, TerminalCurrencyExponentOut, Int16),
        KELVRA_FIELD(Transaction_out, FXmarkupOut, Text),
        KELVRA_FIELD(Transaction_out, PANSequenceNumberOut, Text),
        KELVRA_FIELD(Transaction_out, CashierIdOut, Text),
        KELVRA_FIELD(Transaction_out, TableIdOut, Text),
        KELVRA_FIELD(Transaction_out, CardholderNameOut, Text),
        KELVRA_FIELD(Transaction_out, AvailableBalanceOut, Text),
        KELVRA_FIELD(Transaction_out, ApplicationIdOut, Text),
        KELVRA_FIELD(Transaction_out, PreAuthRefNumOut, Text),
        KELVRA_FIELD(Transaction_out, HostTextOut, Text),
        KELVRA_FIELD(Transaction_out, IsTaxFreeRequiredOut, Int16),
        KELVRA_FIELD(Transaction_out, IsExchangeRateUpdateRequiredOut, Int16),
        KELVRA_FIELD(Transaction_out, CommercialCodeDataOut, Text),
        KELVRA_FIELD(Transaction_out, DonationAmountOut, Text),
        KELVRA_FIELD(Transaction_out, AVSResponseOut, Text),
        KELVRA_FIELD(Transaction_out, PartialAmountOut, Text),
    };
};

template <> struct RecordFields<GetLastTxnData_out> {
    static constexpr const char* name = "GetLastTxnData_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(GetLastTxnData_out, DiagRequestOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, MessageNumberOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount1Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount2Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount3Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount4Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount1LabelOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount2LabelOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount3LabelOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, Amount4LabelOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TransactionTypeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CommercialCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, SuspectedFraudIndicatorOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, TransactionStatusOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, EntryMethodOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, DateTimeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TransactionCurrencyCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CardSchemeNameOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, PANOut, Pan),
        KELVRA_FIELD(GetLastTxnData_out, StartDateOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, ExpiryDateOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AuthorisationCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AcquirerResponseCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, MerchantNameOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, MerchantAddress1Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, MerchantAddress2Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, MerchantAddress3Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, MerchantAddress4Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, TotalAmountOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AdditionalAmountOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CardCurrencyCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CardCurrencyExponentOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, EMVCardExpDateOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AppEffectiveDateOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AIDOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AppPreferredNameOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AppLabelOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TerminalIdentifierOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TransactionCurrenyExponentOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, EMVTxnTypeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AppCryptogramOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, RetrievalReferenceNumberOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, InvoiceNumberOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, BatchNumberOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AcquirerNameOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CustomLine1Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, CustomLine2Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, CustomLine3Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, CustomLine4Out, Text),
        KELVRA_FIELD(GetLastTxnData_out, DCCAmountOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, IsDCCTxnOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, ConversionRateOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, FXExponentAppliedOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, CommissionOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TerminalCountryCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TerminalCurrencyCodeOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TerminalCurrencyExponentOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, FXmarkupOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, PANSequenceNumberOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CashierIdOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, TableIdOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, CardholderNameOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AvailableBalanceOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, ApplicationIdOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, PreAuthRefNumOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, HostTextOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, IsTaxFreeRequiredOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, IsExchangeRateUpdateRequiredOut, Int16),
        KELVRA_FIELD(GetLastTxnData_out, CommercialCodeDataOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, DonationAmountOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, AVSResponseOut, Text),
        KELVRA_FIELD(GetLastTxnData_out, PartialAmountOut, Text),
    };
};

template <> struct RecordFields<TerminalEventOut> {
    static constexpr const char* name = "TerminalEventOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(TerminalEventOut, ServerStateOut, Int16),
        KELVRA_FIELD(TerminalEventOut, EventIdentifierOut, Int16),
        KELVRA_FIELD(TerminalEventOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<SuspectedFraudInOut> {
    static constexpr const char* name = "SuspectedFraudInOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SuspectedFraudInOut, SuspectedFraudStatusIn, Int16),
        KELVRA_FIELD(SuspectedFraudInOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<CheckSignReceiptInfo_out> {
    static constexpr const char* name = "CheckSignReceiptInfo_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(CheckSignReceiptInfo_out, EntryMethodOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, DateTimeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CardSchemeNameOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, PANOut, Pan),
        KELVRA_FIELD(CheckSignReceiptInfo_out, StartDateOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, ExpiryDateOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AuthorisationCodeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AcquirerResponseCodeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, MerchantNameOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, MerchantAddress1Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, MerchantAddress2Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, MerchantAddress3Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, MerchantAddress4Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TransactionCurrencyCodeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TransactionCurrenyExponentOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CardCurrencyCodeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CardCurrencyExpOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TotalAmountOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AdditionalAmountOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, EMVCardExpDateOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AppEffectiveDateOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AIDOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AppPreferredNameOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AppLabelOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TerminalIdentifierOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, EMVTxnTypeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AppCryptogramOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TransactionTypeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, RetrievalReferenceNumberOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, InvoiceNumberOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, BatchNumberOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AcquirerNameOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CustomLine1Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CustomLine2Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CustomLine3Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CustomLine4Out, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, IsDCCTxnOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, DCCAmountOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, ConversionRateOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, FXExponentAppliedOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CommissionOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TerminalCountryCodeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TerminalCurrencyCodeOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TerminalCurrencyExponentOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, FXmarkupOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, PANSequenceNumberOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CashierIdOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, TableIdOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CardholderNameOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AvailableBalanceOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, ApplicationIdOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, PreAuthRefNumOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, HostTextOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, IsTaxFreeRequiredOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, IsExchangeRateUpdateRequiredOut, Int16),
        KELVRA_FIELD(CheckSignReceiptInfo_out, CommercialCodeDataOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, DonationAmountOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, AVSResponseOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, PartialAmountOut, Text),
        KELVRA_FIELD(CheckSignReceiptInfo_out, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<Sign_Status_in> {
    static constexpr const char* name = "Sign_Status_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(Sign_Status_in, SignatureStatusIn, Int32),
    };
};

template <> struct RecordFields<Sign_Status_out> {
    static constexpr const char* name = "Sign_Status_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(Sign_Status_out, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<VoiceReferralInfos_out> {
    static constexpr const char* name = "VoiceReferralInfos_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(VoiceReferralInfos_out, DiagRequestOut, Int16),
        KELVRA_FIELD(VoiceReferralInfos_out, PhoneNumberOut, Text),
        KELVRA_FIELD(VoiceReferralInfos_out, MerchantIdOut, Text),
        KELVRA_FIELD(VoiceReferralInfos_out, HostMessageOut, Text),
    };
};

template <> struct RecordFields<VoiceReferralStatus_in> {
    static constexpr const char* name = "VoiceReferralStatus_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(VoiceReferralStatus_in, AuthorisationCodeIn, Text),
        KELVRA_FIELD(VoiceReferralStatus_in, AuthorisationStatusIn, Int16),
    };
};

template <> struct RecordFields<VoiceReferralStatus_out> {
    static constexpr const char* name = "VoiceReferralStatus_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(VoiceReferralStatus_out, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<PasswordParamsOut> {
    static constexpr const char* name = "PasswordParamsOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PasswordParamsOut, AttemptNumberOut, UInt8),
        KELVRA_FIELD(PasswordParamsOut, MaximumAttemptOut, UInt8),
        KELVRA_FIELD(PasswordParamsOut, PasswordTypeOut, Int16),
        KELVRA_FIELD(PasswordParamsOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<PartialAuthOut> {
    static constexpr const char* name = "PartialAuthOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PartialAuthOut, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(PartialAuthOut, PartialAmountOut, Text),
        KELVRA_FIELD(PartialAuthOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<PartialAuthIn> {
    static constexpr const char* name = "PartialAuthIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PartialAuthIn, PartialAuthStatusIn, Int16),
    };
};

template <> struct RecordFields<AVSRejectionOut> {
    static constexpr const char* name = "AVSRejectionOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(AVSRejectionOut, AVSResponseOut, Text),
        KELVRA_FIELD(AVSRejectionOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<AVSRejectionIn> {
    static constexpr const char* name = "AVSRejectionIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(AVSRejectionIn, AVSRejectionStatusIn, Int16),
    };
};

template <> struct RecordFields<DCCQuotationDataOut> {
    static constexpr const char* name = "DCCQuotationDataOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(DCCQuotationDataOut, MerchantNameOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, MerchantAddress1Out, Text),
        KELVRA_FIELD(DCCQuotationDataOut, MerchantAddress2Out, Text),
        KELVRA_FIELD(DCCQuotationDataOut, MerchantAddress3Out, Text),
        KELVRA_FIELD(DCCQuotationDataOut, MerchantAddress4Out, Text),
        KELVRA_FIELD(DCCQuotationDataOut, AcquirerMerchantIdOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, TerminalIdentifierOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, SchemeLabelOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, Last4DigitsCardOut, Pan),
        KELVRA_FIELD(DCCQuotationDataOut, CardExpiryDateOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, CurrentDCCDateOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, CurrentDCCTimeOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, DCCTxnCurrencyNameOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, LocalCurrencyAmountValueOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, TerminalCurrencyCodeOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, TerminalCurrencyExponentOut, Int16),
        KELVRA_FIELD(DCCQuotationDataOut, ConversionRateValueOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, CommissionValueOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, ExchangeRateMarkUpValueOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, ReferenceRateProviderOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, CurrencyConversionProviderOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, DCCAmountOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, CardCurrencyCodeOut, Text),
        KELVRA_FIELD(DCCQuotationDataOut, CardCurrencyExpOut, Int16),
        KELVRA_FIELD(DCCQuotationDataOut, FXExponentAppliedOut, Int16),
        KELVRA_FIELD(DCCQuotationDataOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<Status_out> {
    static constexpr const char* name = "Status_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(Status_out, StateOut, Int16),
        KELVRA_FIELD(Status_out, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<TimeDate_in> {
    static constexpr const char* name = "TimeDate_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(TimeDate_in, YearIn, Text),
        KELVRA_FIELD(TimeDate_in, MonthIn, Text),
        KELVRA_FIELD(TimeDate_in, DayIn, Text),
        KELVRA_FIELD(TimeDate_in, HourIn, Text),
        KELVRA_FIELD(TimeDate_in, MinuteIn, Text),
        KELVRA_FIELD(TimeDate_in, SecondIn, Text),
    };
};

template <> struct RecordFields<TimeDate_out> {
    static constexpr const char* name = "TimeDate_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(TimeDate_out, DiagRequestOut, Int16),
        KELVRA_FIELD(TimeDate_out, StatusOut, Int16),
    };
};

template <> struct RecordFields<SetTerminalIPAddress_InOut> {
    static constexpr const char* name = "SetTerminalIPAddress_InOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SetTerminalIPAddress_InOut, IPAddressIn, Text),
        KELVRA_FIELD(SetTerminalIPAddress_InOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<SetSSLCertificate_InOut> {
    static constexpr const char* name = "SetSSLCertificate_InOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SetSSLCertificate_InOut, PathIn, Text),
        KELVRA_FIELD(SetSSLCertificate_InOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<SetPasswordIn> {
    static constexpr const char* name = "SetPasswordIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SetPasswordIn, PasswordIn, Secret),
        KELVRA_FIELD(SetPasswordIn, EntryStatusIn, Int16),
    };
};

template <> struct RecordFields<SetPasswordOut> {
    static constexpr const char* name = "SetPasswordOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SetPasswordOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<InitTxnReceiptPrint_InOut> {
    static constexpr const char* name = "InitTxnReceiptPrint_InOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(InitTxnReceiptPrint_InOut, StatusIn, Int16),
        KELVRA_FIELD(InitTxnReceiptPrint_InOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<SetTraceTlvMessagesEnabelement_InOut> {
    static constexpr const char* name = "SetTraceTlvMessagesEnabelement_InOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SetTraceTlvMessagesEnabelement_InOut, FolderPathInOut, Text),
        KELVRA_FIELD(SetTraceTlvMessagesEnabelement_InOut, TraceEnabelementINOut, UInt8),
        KELVRA_FIELD(SetTraceTlvMessagesEnabelement_InOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<CheckEligibility_in> {
    static constexpr const char* name = "CheckEligibility_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(CheckEligibility_in, TransactionTypeIn, Text),
    };
};

template <> struct RecordFields<CheckEligibility_out> {
    static constexpr const char* name = "CheckEligibility_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(CheckEligibility_out, DiagRequestOut, Int16),
        KELVRA_FIELD(CheckEligibility_out, CeilingLimitOut, Text),
        KELVRA_FIELD(CheckEligibility_out, CashCeilingLimitOut, Text),
        KELVRA_FIELD(CheckEligibility_out, CurrencyCodeOut, Text),
        KELVRA_FIELD(CheckEligibility_out, EligibilityResultOut, Int8),
        KELVRA_FIELD(CheckEligibility_out, CashBackEligibilityOut, Int8),
        KELVRA_FIELD(CheckEligibility_out, IsCommercialCodeRequiredOut, Int8),
    };
};

template <> struct RecordFields<PEDAuthentication_in> {
    static constexpr const char* name = "PEDAuthentication_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PEDAuthentication_in, pedSerialNbrIn, Text),
    };
};

template <> struct RecordFields<PEDAuthentication_out> {
    static constexpr const char* name = "PEDAuthentication_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PEDAuthentication_out, StateOut, Int16),
        KELVRA_FIELD(PEDAuthentication_out, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<ReadTracks_out> {
    static constexpr const char* name = "ReadTracks_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(ReadTracks_out, DiagRequestOut, Int16),
        KELVRA_FIELD(ReadTracks_out, Track1BufferOut, Secret),
        KELVRA_FIELD(ReadTracks_out, Track2BufferOut, Secret),
        KELVRA_FIELD(ReadTracks_out, Track3BufferOut, Secret),
        KELVRA_FIELD(ReadTracks_out, Track1StatusOut, Int16),
        KELVRA_FIELD(ReadTracks_out, Track2StatusOut, Int16),
        KELVRA_FIELD(ReadTracks_out, Track3StatusOut, Int16),
    };
};

template <> struct RecordFields<PrintInformation_in> {
    static constexpr const char* name = "PrintInformation_in";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PrintInformation_in, PrintBufferIn, Text),
    };
};

template <> struct RecordFields<PrintInformation_out> {
    static constexpr const char* name = "PrintInformation_out";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PrintInformation_out, DiagRequestOut, Int16),
        KELVRA_FIELD(PrintInformation_out, StatusOut, Int16),
    };
};

template <> struct RecordFields<CheckApplicationEnablementIn> {
    static constexpr const char* name = "CheckApplicationEnablementIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(CheckApplicationEnablementIn, ApplicationIdIn, Int16),
    };
};

template <> struct RecordFields<CheckApplicationEnablementOut> {
    static constexpr const char* name = "CheckApplicationEnablementOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(CheckApplicationEnablementOut, EnablementResultOut, Int16),
        KELVRA_FIELD(CheckApplicationEnablementOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<SettlementRequestIn> {
    static constexpr const char* name = "SettlementRequestIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SettlementRequestIn, MessageNumberIn, Text),
        KELVRA_FIELD(SettlementRequestIn, TxnDetailDataRecordIndexIn, Int16),
        KELVRA_FIELD(SettlementRequestIn, SettlementRecordTypeIn, Int16),
    };
};

template <> struct RecordFields<SettlementResponseOut> {
    static constexpr const char* name = "SettlementResponseOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SettlementResponseOut, MessageNumberOut, Text),
        KELVRA_FIELD(SettlementResponseOut, SettlementStatusOut, Text),
        KELVRA_FIELD(SettlementResponseOut, SettlementDateTimeOut, Text),
        KELVRA_FIELD(SettlementResponseOut, SettleResponseOut, Text),
        KELVRA_FIELD(SettlementResponseOut, HelpDeskNumberOut, Text),
        KELVRA_FIELD(SettlementResponseOut, MerchantNameOut, Text),
        KELVRA_FIELD(SettlementResponseOut, MerchantAddress1Out, Text),
        KELVRA_FIELD(SettlementResponseOut, MerchantAddress2Out, Text),
        KELVRA_FIELD(SettlementResponseOut, MerchantAddress3Out, Text),
        KELVRA_FIELD(SettlementResponseOut, MerchantAddress4Out, Text),
        KELVRA_FIELD(SettlementResponseOut, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(SettlementResponseOut, TerminalIdentifierOut, Text),
        KELVRA_FIELD(SettlementResponseOut, TerminalCountryCodeOut, Text),
        KELVRA_FIELD(SettlementResponseOut, TerminalCurrencyCodeOut, Text),
        KELVRA_FIELD(SettlementResponseOut, TerminalCurrencyExponentOut, Int16),
        KELVRA_FIELD(SettlementResponseOut, BatchNumberOut, Text),
        KELVRA_FIELD(SettlementResponseOut, AcquirerNameOut, Text),
        KELVRA_FIELD(SettlementResponseOut, CashBacksCountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, CashBacksAmountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, DebitCountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, DebitAmountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, CreditCountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, CreditAmountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, SalesVoidCountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, SalesVoidAmountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, RefundsVoidCountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, RefundsVoidAmountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, IsGratuityEnabledOut, Int16),
        KELVRA_FIELD(SettlementResponseOut, GratuityAmountOut, Text),
        KELVRA_FIELD(SettlementResponseOut, IsShiftProcessEnabledOut, Int16),
        KELVRA_FIELD(SettlementResponseOut, SumOrDetailReportOut, Int16),
        KELVRA_FIELD(SettlementResponseOut, TransactionDetailDataRecordNumberOut, Int16),
        KELVRA_FIELD(SettlementResponseOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<SettlementDataRecordOut> {
    static constexpr const char* name = "SettlementDataRecordOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(SettlementDataRecordOut, DateTimeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, InvoiceNumberOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, ShiftNumberOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, TransactionTypeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, VoidedTransactionTypeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, AuthorisationCodeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, AVSResponseOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, BankTypeOut, Int16),
        KELVRA_FIELD(SettlementDataRecordOut, CardSchemeNameOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, CardTypeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, PANOut, Pan),
        KELVRA_FIELD(SettlementDataRecordOut, EntryMethodOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, TransactionCurrencyCodeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, TotalAmountOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, AdditionalAmountOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, IsDCCTxnOut, Int16),
        KELVRA_FIELD(SettlementDataRecordOut, DCCTransactionCurrencyCodeOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, IsDCCTxnAcceptedOut, Int16),
        KELVRA_FIELD(SettlementDataRecordOut, DCCAmountOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, IsDCCTxnEligibleOut, Int16),
        KELVRA_FIELD(SettlementDataRecordOut, DCCTipAmountOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, ConversionRateOut, Text),
        KELVRA_FIELD(SettlementDataRecordOut, FXExponentAppliedOut, Int16),
        KELVRA_FIELD(SettlementDataRecordOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<AdjustTipAmountIn> {
    static constexpr const char* name = "AdjustTipAmountIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(AdjustTipAmountIn, InvoiceNumberIn, Text),
        KELVRA_FIELD(AdjustTipAmountIn, TotalAmountIn, Text),
        KELVRA_FIELD(AdjustTipAmountIn, OldTipAmountIn, Text),
        KELVRA_FIELD(AdjustTipAmountIn, NewTipAmountIn, Text),
        KELVRA_FIELD(AdjustTipAmountIn, CashierIdIn, Text),
    };
};

template <> struct RecordFields<AdjustTipAmountOut> {
    static constexpr const char* name = "AdjustTipAmountOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(AdjustTipAmountOut, TipUpdateResultOut, Int16),
        KELVRA_FIELD(AdjustTipAmountOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<ExchangeRateUpdateIn> {
    static constexpr const char* name = "ExchangeRateUpdateIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(ExchangeRateUpdateIn, UpdateMethodIn, Int16),
    };
};

template <> struct RecordFields<CurrencyDetailsRecordOut> {
    static constexpr const char* name = "CurrencyDetailsRecordOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(CurrencyDetailsRecordOut, CurrencyCodeOut, Text),
        KELVRA_FIELD(CurrencyDetailsRecordOut, ConversionExponentOut, Int16),
        KELVRA_FIELD(CurrencyDetailsRecordOut, ConversionRateOut, Text),
        KELVRA_FIELD(CurrencyDetailsRecordOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<ExchangeRateUpdateOut> {
    static constexpr const char* name = "ExchangeRateUpdateOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(ExchangeRateUpdateOut, OperationStatusOut, Int16),
        KELVRA_FIELD(ExchangeRateUpdateOut, AuthorisationResponseOut, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, MerchantNameOut, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, MerchantAddress1Out, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, MerchantAddress2Out, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, MerchantAddress3Out, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, MerchantAddress4Out, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, ProfileIDOut, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, DateTimeOut, Text),
        KELVRA_FIELD(ExchangeRateUpdateOut, NumberOfAvailableCurrenciesOut, Int16),
        KELVRA_FIELD(ExchangeRateUpdateOut, CurrencyDetailsRecordsOut, Records),
        KELVRA_FIELD(ExchangeRateUpdateOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<TFRTransactionIn> {
    static constexpr const char* name = "TFRTransactionIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(TFRTransactionIn, MessageNumberIn, Text),
        KELVRA_FIELD(TFRTransactionIn, TaxFreeFormNumberIn, Text),
        KELVRA_FIELD(TFRTransactionIn, PaymentMethodIn, Int16),
        KELVRA_FIELD(TFRTransactionIn, SaleCashAmountIn, Text),
    };
};

template <> struct RecordFields<TFRTransactionOut> {
    static constexpr const char* name = "TFRTransactionOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(TFRTransactionOut, MessageNumberOut, Text),
        KELVRA_FIELD(TFRTransactionOut, TransactionStatusOut, Text),
        KELVRA_FIELD(TFRTransactionOut, VATRateOut, Text),
        KELVRA_FIELD(TFRTransactionOut, VATAmountOut, Text),
        KELVRA_FIELD(TFRTransactionOut, FullPriceOut, Text),
        KELVRA_FIELD(TFRTransactionOut, ExVATPriceOut, Text),
        KELVRA_FIELD(TFRTransactionOut, TaxRefundAmountOut, Text),
        KELVRA_FIELD(TFRTransactionOut, AdministrationFeeOut, Text),
        KELVRA_FIELD(TFRTransactionOut, DateOfSaleOut, Text),
        KELVRA_FIELD(TFRTransactionOut, TimeOfSaleOut, Text),
        KELVRA_FIELD(TFRTransactionOut, MerchantNameOut, Text),
        KELVRA_FIELD(TFRTransactionOut, MerchantAddress1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, MerchantAddress2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, TFWWNameOut, Text),
        KELVRA_FIELD(TFRTransactionOut, TFWWAddressOut, Text),
        KELVRA_FIELD(TFRTransactionOut, TFWWWebAddressOut, Text),
        KELVRA_FIELD(TFRTransactionOut, TFWWTelNumberOut, Text),
        KELVRA_FIELD(TFRTransactionOut, VATNumberLabelOut, Text),
        KELVRA_FIELD(TFRTransactionOut, VATNumberOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CustomerDeclarationOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CustomerAddressOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CustomerPassportOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CustomerIssuerGovernmentOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CustomerDeclarationStatement1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CustomerDeclarationStatement2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, RetailerDeclarationHeadingOut, Text),
        KELVRA_FIELD(TFRTransactionOut, RetailerSignatureOut, Text),
        KELVRA_FIELD(TFRTransactionOut, RetailerDeclarationIMPORTANTOut, Text),
        KELVRA_FIELD(TFRTransactionOut, RetailerInstructionLine1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, RetailerInstructionLine2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, ExportHeadingOut, Text),
        KELVRA_FIELD(TFRTransactionOut, ExportWarningOut, Text),
        KELVRA_FIELD(TFRTransactionOut, DataProtectionActOut, Text),
        KELVRA_FIELD(TFRTransactionOut, DataStatement1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, DataStatement2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, DataStatement3Out, Text),
        KELVRA_FIELD(TFRTransactionOut, DataStatement4Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CountryCodeOut, Int16),
        KELVRA_FIELD(TFRTransactionOut, FormTypeOut, Int16),
        KELVRA_FIELD(TFRTransactionOut, CustNumberOut, Text),
        KELVRA_FIELD(TFRTransactionOut, PosIDOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CurrencyCodeOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CurrencyExpOut, Int16),
        KELVRA_FIELD(TFRTransactionOut, CardPANOut, Pan),
        KELVRA_FIELD(TFRTransactionOut, CardExpiryDateOut, Text),
        KELVRA_FIELD(TFRTransactionOut, CardTypeOut, Text),
        KELVRA_FIELD(TFRTransactionOut, Barcode1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, Barcode2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CardSalesStatement1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CardSalesStatement2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CardSalesStatement3Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CardSalesStatement4Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CardSalesStatement5Out, Text),
        KELVRA_FIELD(TFRTransactionOut, CashStringOut, Text),
        KELVRA_FIELD(TFRTransactionOut, OffUseStatement1Out, Text),
        KELVRA_FIELD(TFRTransactionOut, OffUseStatement2Out, Text),
        KELVRA_FIELD(TFRTransactionOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<PenniesDonationModeIn> {
    static constexpr const char* name = "PenniesDonationModeIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PenniesDonationModeIn, DonationModeIn, Int16),
    };
};

template <> struct RecordFields<PenniesDonationModeOut> {
    static constexpr const char* name = "PenniesDonationModeOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PenniesDonationModeOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<PenniesConfigDataOut> {
    static constexpr const char* name = "PenniesConfigDataOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(PenniesConfigDataOut, TerminalIdentifierOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, DonationModeOut, UInt8),
        KELVRA_FIELD(PenniesConfigDataOut, TopUpAmountOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, MaxTxnVolumeOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, MaxTxnValueOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, MaxUploadIntervalOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, DonationTimeoutOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, UploadWindowStartOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, UploadWindowsEndOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, TxnUploadRequiredOut, UInt8),
        KELVRA_FIELD(PenniesConfigDataOut, TxnCountOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, TxnValueOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, LastUploadDateOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, MinTopUpAmountOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, MaxTopUpAmountOut, Text),
        KELVRA_FIELD(PenniesConfigDataOut, TopUpAmountIncrementStepOut, UInt8),
        KELVRA_FIELD(PenniesConfigDataOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<MobileTopUpConfigurationDataIn> {
    static constexpr const char* name = "MobileTopUpConfigurationDataIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MobileTopUpConfigurationDataIn, GetMobileTopUpConfigFlagIn, Int16),
    };
};

template <> struct RecordFields<MobileTopUpConfigurationDataOut> {
    static constexpr const char* name = "MobileTopUpConfigurationDataOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, ProfileIDOut, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MerchantNameOut, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MerchantAddress1Out, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MerchantAddress2Out, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MerchantAddress3Out, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MerchantAddress4Out, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, TerminalIdentifierOut, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, TerminalCurrencyOut, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, BarcodeFormatOut, Text),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, BarcodeWidthOut, UInt8),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, BarcodeHeightOut, UInt16),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, BarcodePrintEnabledOut, UInt8),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MerchCopyPrintEnabledOut, UInt8),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, MobileTopUpProductNumberOut, UInt8),
        KELVRA_FIELD(MobileTopUpConfigurationDataOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<ProductDataRecordOut> {
    static constexpr const char* name = "ProductDataRecordOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(ProductDataRecordOut, ProductIdOut, Text),
        KELVRA_FIELD(ProductDataRecordOut, ProductNameOut, Text),
        KELVRA_FIELD(ProductDataRecordOut, AmountsInfoOut, Text),
        KELVRA_FIELD(ProductDataRecordOut, CustomTextOut, Text),
        KELVRA_FIELD(ProductDataRecordOut, VarAmountEntryOut, UInt8),
        KELVRA_FIELD(ProductDataRecordOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<MobileTopUpReqIn> {
    static constexpr const char* name = "MobileTopUpReqIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MobileTopUpReqIn, MessageNumberIn, Text),
        KELVRA_FIELD(MobileTopUpReqIn, VoucherAmountIn, Text),
        KELVRA_FIELD(MobileTopUpReqIn, VoucherNumbersIn, UInt8),
        KELVRA_FIELD(MobileTopUpReqIn, ProductIdIn, Text),
        KELVRA_FIELD(MobileTopUpReqIn, CashierIdIn, Text),
        KELVRA_FIELD(MobileTopUpReqIn, GSMPasswordIn, Secret),
    };
};

template <> struct RecordFields<VoucherRecordOut> {
    static constexpr const char* name = "VoucherRecordOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(VoucherRecordOut, VoucherSerialNumberOut, Text),
        KELVRA_FIELD(VoucherRecordOut, VoucherCodeOut, VoucherCode),
        KELVRA_FIELD(VoucherRecordOut, VoucherExpDateOut, Text),
        KELVRA_FIELD(VoucherRecordOut, AuthCodeOut, Text),
        KELVRA_FIELD(VoucherRecordOut, InvoiceNumberOut, Text),
        KELVRA_FIELD(VoucherRecordOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<MobileTopUpRespOut> {
    static constexpr const char* name = "MobileTopUpRespOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MobileTopUpRespOut, MessageNumberOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, TransactionStatusOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, DateTimeOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, ResponseCodeOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, MerchantNameOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, TerminalIdentifierOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, BatchNumberOut, Text),
        KELVRA_FIELD(MobileTopUpRespOut, HostOptionalMessageOut, Latin2Text),
        KELVRA_FIELD(MobileTopUpRespOut, VoucherNumberOut, UInt8),
        KELVRA_FIELD(MobileTopUpRespOut, VoucherRecordsOut, Records),
        KELVRA_FIELD(MobileTopUpRespOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<MobileTopUpSettlementRespIn> {
    static constexpr const char* name = "MobileTopUpSettlementRespIn";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MobileTopUpSettlementRespIn, MessageNumberIn, Text),
    };
};

template <> struct RecordFields<MobileTopUpSettlementRespOut> {
    static constexpr const char* name = "MobileTopUpSettlementRespOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MobileTopUpSettlementRespOut, MessageNumberOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, TransactionStatusOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, MerchantNameOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, MerchantAddress1Out, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, MerchantAddress2Out, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, MerchantAddress3Out, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, MerchantAddress4Out, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, AcquirerMerchantIDOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, TerminalIdentifierOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, SettlementDateTimeOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, VoucherSaleCountOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, VoucherSaleAmountOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, VoucherRefundCountOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, VoucherRefundAmountOut, Text),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, SuppressAuditReportOut, UInt8),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, TransactionDetailDataRecordNumberOut, Int16),
        KELVRA_FIELD(MobileTopUpSettlementRespOut, DiagRequestOut, Int16),
    };
};

template <> struct RecordFields<MTPSettlementDataRecordOut> {
    static constexpr const char* name = "MTPSettlementDataRecordOut";
    static constexpr FieldDesc fields[] = {
        KELVRA_FIELD(MTPSettlementDataRecordOut, DateTimeOut, Text),
        KELVRA_FIELD(MTPSettlementDataRecordOut, ProductIdOut, Text),
        KELVRA_FIELD(MTPSettlementDataRecordOut, ProductNameOut, Text),
        KELVRA_FIELD(MTPSettlementDataRecordOut, TransactionTypeOut, UInt8),
        KELVRA_FIELD(MTPSettlementDataRecordOut, InvoiceNumberOut, Text),
        KELVRA_FIELD(MTPSettlementDataRecordOut, VoucherSerialNumberOut, Text),
        KELVRA_FIELD(MTPSettlementDataRecordOut, VoucherAmountOut, Text),
        KELVRA_FIELD(MTPSettlementDataRecordOut, DiagRequestOut, Int16),
    };
};


#undef KELVRA_FIELD

// The description of record type `Record`.
template <class Record> constexpr RecordDesc record_desc() {
    return {RecordFields<Record>::name, sizeof(Record), RecordFields<Record>::fields};
}

// The field `name` of `Record`; a name the record does not have stops the build.
template <class Record> consteval const FieldDesc& field_of(std::string_view name) {
    for (const FieldDesc& field : RecordFields<Record>::fields)
        if (name == field.name)
            return field;
    throw "the record has no field of this name";
}

// Every described record, for lookups by name (the journal, the tools).
std::span<const RecordDesc> all_records();
// The record named `name`, or null.
const RecordDesc* find_record(std::string_view name);

namespace record_fields_detail {
// A description covers its record when the fields follow each other in offset
// order with at most alignment padding between them and after the last.
template <class Record> consteval bool covers_record() {
    std::size_t end = 0;
    for (const FieldDesc& field : RecordFields<Record>::fields) {
        if (field.offset < end || field.offset - end > 3)
            return false;
        end = field.offset + field.width;
    }
    return end <= sizeof(Record) && sizeof(Record) - end <= 3;
}
} // namespace record_fields_detail

static_assert(record_fields_detail::covers_record<Transaction_in>(), "Transaction_in");
static_assert(record_fields_detail::covers_record<Transaction_out>(), "Transaction_out");
static_assert(record_fields_detail::covers_record<GetLastTxnData_out>(), "GetLastTxnData_out");
static_assert(record_fields_detail::covers_record<TerminalEventOut>(), "TerminalEventOut");
static_assert(record_fields_detail::covers_record<SuspectedFraudInOut>(), "SuspectedFraudInOut");
static_assert(record_fields_detail::covers_record<CheckSignReceiptInfo_out>(), "CheckSignReceiptInfo_out");
static_assert(record_fields_detail::covers_record<Sign_Status_in>(), "Sign_Status_in");
static_assert(record_fields_detail::covers_record<Sign_Status_out>(), "Sign_Status_out");
static_assert(record_fields_detail::covers_record<VoiceReferralInfos_out>(), "VoiceReferralInfos_out");
static_assert(record_fields_detail::covers_record<VoiceReferralStatus_in>(), "VoiceReferralStatus_in");
static_assert(record_fields_detail::covers_record<VoiceReferralStatus_out>(), "VoiceReferralStatus_out");
static_assert(record_fields_detail::covers_record<PasswordParamsOut>(), "PasswordParamsOut");
static_assert(record_fields_detail::covers_record<PartialAuthOut>(), "PartialAuthOut");
static_assert(record_fields_detail::covers_record<PartialAuthIn>(), "PartialAuthIn");
static_assert(record_fields_detail::covers_record<AVSRejectionOut>(), "AVSRejectionOut");
static_assert(record_fields_detail::covers_record<AVSRejectionIn>(), "AVSRejectionIn");
static_assert(record_fields_detail::covers_record<DCCQuotationDataOut>(), "DCCQuotationDataOut");
static_assert(record_fields_detail::covers_record<Status_out>(), "Status_out");
static_assert(record_fields_detail::covers_record<TimeDate_in>(), "TimeDate_in");
static_assert(record_fields_detail::covers_record<TimeDate_out>(), "TimeDate_out");
static_assert(record_fields_detail::covers_record<SetTerminalIPAddress_InOut>(), "SetTerminalIPAddress_InOut");
static_assert(record_fields_detail::covers_record<SetSSLCertificate_InOut>(), "SetSSLCertificate_InOut");
static_assert(record_fields_detail::covers_record<SetPasswordIn>(), "SetPasswordIn");
static_assert(record_fields_detail::covers_record<SetPasswordOut>(), "SetPasswordOut");
static_assert(record_fields_detail::covers_record<InitTxnReceiptPrint_InOut>(), "InitTxnReceiptPrint_InOut");
static_assert(record_fields_detail::covers_record<SetTraceTlvMessagesEnabelement_InOut>(), "SetTraceTlvMessagesEnabelement_InOut");
static_assert(record_fields_detail::covers_record<CheckEligibility_in>(), "CheckEligibility_in");
static_assert(record_fields_detail::covers_record<CheckEligibility_out>(), "CheckEligibility_out");
static_assert(record_fields_detail::covers_record<PEDAuthentication_in>(), "PEDAuthentication_in");
static_assert(record_fields_detail::covers_record<PEDAuthentication_out>(), "PEDAuthentication_out");
static_assert(record_fields_detail::covers_record<ReadTracks_out>(), "ReadTracks_out");
static_assert(record_fields_detail::covers_record<PrintInformation_in>(), "PrintInformation_in");
static_assert(record_fields_detail::covers_record<PrintInformation_out>(), "PrintInformation_out");
static_assert(record_fields_detail::covers_record<CheckApplicationEnablementIn>(), "CheckApplicationEnablementIn");
static_assert(record_fields_detail::covers_record<CheckApplicationEnablementOut>(), "CheckApplicationEnablementOut");
static_assert(record_fields_detail::covers_record<SettlementRequestIn>(), "SettlementRequestIn");
static_assert(record_fields_detail::covers_record<SettlementResponseOut>(), "SettlementResponseOut");
static_assert(record_fields_detail::covers_record<SettlementDataRecordOut>(), "SettlementDataRecordOut");
static_assert(record_fields_detail::covers_record<AdjustTipAmountIn>(), "AdjustTipAmountIn");
static_assert(record_fields_detail::covers_record<AdjustTipAmountOut>(), "AdjustTipAmountOut");
static_assert(record_fields_detail::covers_record<ExchangeRateUpdateIn>(), "ExchangeRateUpdateIn");
static_assert(record_fields_detail::covers_record<CurrencyDetailsRecordOut>(), "CurrencyDetailsRecordOut");
static_assert(record_fields_detail::covers_record<ExchangeRateUpdateOut>(), "ExchangeRateUpdateOut");
static_assert(record_fields_detail::covers_record<TFRTransactionIn>(), "TFRTransactionIn");
static_assert(record_fields_detail::covers_record<TFRTransactionOut>(), "TFRTransactionOut");
static_assert(record_fields_detail::covers_record<PenniesDonationModeIn>(), "PenniesDonationModeIn");
static_assert(record_fields_detail::covers_record<PenniesDonationModeOut>(), "PenniesDonationModeOut");
static_assert(record_fields_detail::covers_record<PenniesConfigDataOut>(), "PenniesConfigDataOut");
static_assert(record_fields_detail::covers_record<MobileTopUpConfigurationDataIn>(), "MobileTopUpConfigurationDataIn");
static_assert(record_fields_detail::covers_record<MobileTopUpConfigurationDataOut>(), "MobileTopUpConfigurationDataOut");
static_assert(record_fields_detail::covers_record<ProductDataRecordOut>(), "ProductDataRecordOut");
static_assert(record_fields_detail::covers_record<MobileTopUpReqIn>(), "MobileTopUpReqIn");
static_assert(record_fields_detail::covers_record<VoucherRecordOut>(), "VoucherRecordOut");
static_assert(record_fields_detail::covers_record<MobileTopUpRespOut>(), "MobileTopUpRespOut");
static_assert(record_fields_detail::covers_record<MobileTopUpSettlementRespIn>(), "MobileTopUpSettlementRespIn");
static_assert(record_fields_detail::covers_record<MobileTopUpSettlementRespOut>(), "MobileTopUpSettlementRespOut");
static_assert(record_fields_detail::covers_record<MTPSettlementDataRecordOut>(), "MTPSettlementDataRecordOut");
