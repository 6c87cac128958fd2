#include "record_fields.h"

#include <array>

namespace {

constexpr std::array kAllRecords{
    record_desc<Transaction_in>(),
    record_desc<Transaction_out>(),
    record_desc<GetLastTxnData_out>(),
    record_desc<TerminalEventOut>(),
    record_desc<SuspectedFraudInOut>(),
    record_desc<CheckSignReceiptInfo_out>(),
    record_desc<Sign_Status_in>(),
    record_desc<Sign_Status_out>(),
    record_desc<VoiceReferralInfos_out>(),
    record_desc<VoiceReferralStatus_in>(),
    record_desc<VoiceReferralStatus_out>(),
    record_desc<PasswordParamsOut>(),
    record_desc<PartialAuthOut>(),
    record_desc<PartialAuthIn>(),
    record_desc<AVSRejectionOut>(),
    record_desc<AVSRejectionIn>(),
    record_desc<DCCQuotationDataOut>(),
    record_desc<Status_out>(),
    record_desc<TimeDate_in>(),
    record_desc<TimeDate_out>(),
    record_desc<SetTerminalIPAddress_InOut>(),
    record_desc<SetSSLCertificate_InOut>(),
    record_desc<SetPasswordIn>(),
    record_desc<SetPasswordOut>(),
    record_desc<InitTxnReceiptPrint_InOut>(),
    record_desc<SetTraceTlvMessagesEnabelement_InOut>(),
    record_desc<CheckEligibility_in>(),
    record_desc<CheckEligibility_out>(),
    record_desc<PEDAuthentication_in>(),
    record_desc<PEDAuthentication_out>(),
    record_desc<ReadTracks_out>(),
    record_desc<PrintInformation_in>(),
    record_desc<PrintInformation_out>(),
    record_desc<CheckApplicationEnablementIn>(),
    record_desc<CheckApplicationEnablementOut>(),
    record_desc<SettlementRequestIn>(),
    record_desc<SettlementResponseOut>(),
    record_desc<SettlementDataRecordOut>(),
    record_desc<AdjustTipAmountIn>(),
    record_desc<AdjustTipAmountOut>(),
    record_desc<ExchangeRateUpdateIn>(),
    record_desc<CurrencyDetailsRecordOut>(),
    record_desc<ExchangeRateUpdateOut>(),
    record_desc<TFRTransactionIn>(),
    record_desc<TFRTransactionOut>(),
    record_desc<PenniesDonationModeIn>(),
    record_desc<PenniesDonationModeOut>(),
    record_desc<PenniesConfigDataOut>(),
    record_desc<MobileTopUpConfigurationDataIn>(),
    record_desc<MobileTopUpConfigurationDataOut>(),
    record_desc<ProductDataRecordOut>(),
    record_desc<MobileTopUpReqIn>(),
    record_desc<VoucherRecordOut>(),
    record_desc<MobileTopUpRespOut>(),
    record_desc<MobileTopUpSettlementRespIn>(),
    record_desc<MobileTopUpSettlementRespOut>(),
    record_desc<MTPSettlementDataRecordOut>(),
};

} // namespace

std::span<const RecordDesc> all_records() { return kAllRecords; }

const RecordDesc* find_record(std::string_view name) {
    for (const RecordDesc& record : kAllRecords)
        if (name == record.name)
            return &record;
    return nullptr;
}
