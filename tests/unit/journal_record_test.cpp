// What the journal keeps of a record: card numbers masked, track data and passwords
// left out, numbers decoded, texts made UTF-8; and the record descriptions the
// journal reads them through.
#include "card_masking.h"
#include "fields.h"
#include "journal_entry.h"
#include "record_fields.h"

#include <gtest/gtest.h>

#include <type_traits>

#include <cstring>
#include <set>
#include <string>

namespace {

// Every shape a secret takes on a receipt, in a host text or a field, and the digit
// runs that must stay as they are. The card numbers pass the Luhn check.
TEST(SecretMasking, MasksEveryShapeOfASecretAndNothingElse) {
    using enum SecretKind;
    const struct {
        SecretKind kind;
        const char* text;
        const char* masked;
    } cases[] = {
        // Card numbers in free text, whatever stands between their digits.
        {Text, "6799990000044564", "679999******4564"},
        {Text, "4000000000006", "400000***0006"},             // 13 digits
        {Text, "4000000000000000006", "400000*********0006"}, // 19 digits
        {Text, "CARD 6799 9900 0004 4564", "CARD 6799 99** **** 4564"},
        {Text, "CARD 6799  9900  0004  4564", "CARD 6799  99**  ****  4564"},
        {Text, "6799\t9900\t0004\t4564", "6799\t99**\t****\t4564"},
        {Text, "6799.9900.0004.4564", "6799.99**.****.4564"},
        {Text, "6799/9900/0004/4564", "6799/99**/****/4564"},
        {Text, "CARD 6799-9900-0004-4564 CHIP", "CARD 6799-99**-****-4564 CHIP"},
        {Text, "6799\xc2\xa0" "9900\xc2\xa0" "0004\xc2\xa0" "4564",
         "6799\xc2\xa0" "99**\xc2\xa0" "****\xc2\xa0" "4564"},
        {Text, "6799 - 9900 / 0004 .\t4564", "6799 - 99** / **** .\t4564"},
        // Run into its expiry: a window ending in the expiry passes too, and is masked.
        {Text, "67999900000445642812", "679999*******5642812"},
        {Text, "1250 6799990000044564", "1250 679999******4564"},
        {Text, "6799 9900 0004 4564 1250", "6799 99** **** 4564 1250"},
        {Text, "REF6799990000044564X", "REF679999******4564X"},
        // Tracks, whole.
        {Text, ";6799990000044564=29121010000?", "[track data]"},
        {Text, "T2 ;6799990000044564=2912101000012345? END", "T2 [track data] END"},
        {Text, "%B6799990000044564^DOE/JOHN^2912101000000?", "[track data]"},
        {Text, "6799990000044564=29121010000", "[track data]"},
        // Digit runs that stay: no card number there.
        {Text, "4000000000000001", "4000000000000001"}, // no window passes the Luhn check
        {Text, "679999******4564", "679999******4564"},
        {Text, "DATE 06/12/2026 14:03:59", "DATE 06/12/2026 14:03:59"},
        {Text, "2026-12-06 14:03:59", "2026-12-06 14:03:59"},
        {Text, "AMOUNT 000000001250", "AMOUNT 000000001250"},
        {Text, "TOTAL 000000001250  TIP 000000000100", "TOTAL 000000001250  TIP 000000000100"},
        {Text, "TOTAL EUR 1.250.000,00", "TOTAL EUR 1.250.000,00"},
        {Text, "INVOICE 000123 BATCH 000045", "INVOICE 000123 BATCH 000045"},
        {Text, "TID 12345678 MID 000000012345678", "TID 12345678 MID 000000012345678"},
        {Text, "TID 20071234 MID 412345678901234", "TID 20071234 MID 412345678901234"},
        // A card-number field.
        {CardNumber, "6799990000044564", "679999******4564"},
        {CardNumber, "4000000000000000006", "400000*********0006"},
        {CardNumber, "6799 9900 0004 4564", "6799 99** **** 4564"},
        {CardNumber, "679999******4564", "679999******4564"},
        {CardNumber, "************4564", "************4564"},
        {CardNumber, "123456789012", "********9012"},
        {CardNumber, "1234", "1234"},
        // Never shown; a voucher code but its last four.
        {TrackData, ";6799990000044564=29121010000?", "[track data]"},
        {Password, "1234", "[password]"},
        {Password, "", ""},
        {VoucherCode, "1234-5678-9012-3456", "****-****-****-3456"},
        {VoucherCode, "AB12CD34EF", "******34EF"},
        {VoucherCode, "ABCD", "****"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mask_secret(c.text, c.kind), c.masked) << c.text;
}

template <class Record> std::string value_of(const Record& r, const char* field) {
    return std::string(field_value(journal_record(r), field));
}

template <class Record> bool has_field(const Record& r, const char* field) {
    for (const JournalField& f : journal_record(r).fields)
        if (f.name == field)
            return true;
    return false;
}

TEST(JournalRecord, TransactionOutIsMaskedDecodedAndValidUtf8) {
    Transaction_out out{};
    out.DiagRequestOut = -3;
    field_copy(out.PANOut, "6799990000044564");
    field_copy(out.TransactionStatusOut, "00");
    std::memset(out.MerchantNameOut, 'M', sizeof out.MerchantNameOut); // no terminator
    field_copy(out.HostTextOut, "Zah\xe1jeno");                        // not UTF-8
    field_copy(out.CustomLine1Out, "REF 6799 9900 0004 4564");
    out.TransactionCurrenyExponentOut = 2;

    const JournalRecord r = journal_record(out);
    EXPECT_EQ(r.record, "Transaction_out");
    EXPECT_EQ(field_value(r, "PANOut"), "679999******4564");
    EXPECT_EQ(field_value(r, "DiagRequestOut"), "-3");
    EXPECT_EQ(field_value(r, "TransactionCurrenyExponentOut"), "2");
    EXPECT_EQ(field_value(r, "MerchantNameOut"), std::string(sizeof out.MerchantNameOut, 'M'));
    EXPECT_EQ(field_value(r, "HostTextOut"), "Zah\xef\xbf\xbdjeno");
    EXPECT_EQ(field_value(r, "CustomLine1Out"), "REF 6799 99** **** 4564");
    // Every field is there, in the record's order, even when empty.
    const RecordDesc& desc = record_desc<Transaction_out>();
    ASSERT_EQ(r.fields.size(), desc.fields.size());
    for (std::size_t i = 0; i < desc.fields.size(); ++i)
        EXPECT_EQ(r.fields[i].name, desc.fields[i].name);
}

TEST(JournalRecord, TrackDataAndPasswordsAreLeftOutVoucherCodesMasked) {
    ReadTracks_out tracks{};
    field_copy(tracks.Track1BufferOut, "%B6799990000044564^DOE/JOHN^2912101?");
    field_copy(tracks.Track2BufferOut, ";6799990000044564=29121010000?");
    field_copy(tracks.Track3BufferOut, "3-track");
    tracks.Track2StatusOut = 7;
    SetPasswordIn password{};
    field_copy(password.PasswordIn, "123456789");
    password.EntryStatusIn = 1;
    MobileTopUpReqIn topup{};
    field_copy(topup.GSMPasswordIn, "4321");
    field_copy(topup.VoucherAmountIn, "00500");
    topup.VoucherNumbersIn = 200; // unsigned: above the range of a char
    VoucherRecordOut voucher{};
    field_copy(voucher.VoucherCodeOut, "1234-5678-9012-3456");

    for (const char* f : {"Track1BufferOut", "Track2BufferOut", "Track3BufferOut"})
        EXPECT_FALSE(has_field(tracks, f)) << f;
    EXPECT_EQ(value_of(tracks, "Track2StatusOut"), "7");
    EXPECT_FALSE(has_field(password, "PasswordIn"));
    EXPECT_EQ(value_of(password, "EntryStatusIn"), "1");
    EXPECT_FALSE(has_field(topup, "GSMPasswordIn"));
    EXPECT_EQ(value_of(topup, "VoucherNumbersIn"), "200");
    EXPECT_EQ(value_of(topup, "VoucherAmountIn"), "00500");
    EXPECT_EQ(value_of(voucher, "VoucherCodeOut"), "****-****-****-3456");

    // The bytes kept of each call: secrets zeroed, codes masked in place (also in
    // the vouchers a sale's answer embeds), every other byte as it was.
    const auto bytes = [](const auto& record) {
        return masked_record_bytes(record_desc<std::remove_cvref_t<decltype(record)>>(), &record);
    };
    const std::string kept_tracks = bytes(tracks);
    EXPECT_EQ(kept_tracks.find("6799990000044564"), std::string::npos);
    EXPECT_EQ(kept_tracks.find("3-track"), std::string::npos);
    EXPECT_EQ(kept_tracks[offsetof(ReadTracks_out, Track2StatusOut)], 7);
    EXPECT_EQ(bytes(password).find("123456789"), std::string::npos);
    EXPECT_EQ(bytes(topup).find("4321"), std::string::npos);
    MobileTopUpRespOut sold{};
    field_copy(sold.VoucherRecordsOut[1].VoucherCodeOut, "1234-5678-9012-3457");
    EXPECT_NE(bytes(sold).find("****-****-****-3457"), std::string::npos);
    EXPECT_EQ(bytes(sold).find("1234-5678"), std::string::npos);
}

// A voucher's receipt prints its code whole: the entry keeps it masked, for the
// vouchers of the sale's own answer and for one fetched after it.
TEST(JournalRecord, VoucherReceiptsKeepTheCodesLastFourOnly) {
    MobileTopUpRespOut sold{};
    field_copy(sold.VoucherRecordsOut[1].VoucherCodeOut, "1234-5678-9012-3457");
    VoucherRecordOut fetched{};
    field_copy(fetched.VoucherCodeOut, "ABCD-EFGH-IJKL");
    JournalEntry e;
    e.response = {journal_record(sold), journal_record(fetched)};
    e.receipt = {"YOUR CODE", "1234-5678-9012-3457", "CODE ABCD-EFGH-IJKL"};
    summarise_entry(e);
    EXPECT_EQ(e.receipt, (std::vector<std::string>{"YOUR CODE", "****-****-****-3457",
                                                   "CODE ****-****-IJKL"}));
}

TEST(JournalRecord, Latin2TextBecomesUtf8) {
    MobileTopUpRespOut resp{};
    field_copy(resp.HostOptionalMessageOut, "P\xf8"
                                            "edplaceno \xb9"
                                            "ek 6799990000044564");
    EXPECT_EQ(value_of(resp, "HostOptionalMessageOut"), "P\xc5\x99"
                                                        "edplaceno \xc5\xa1"
                                                        "ek 679999******4564");
}

// A settlement's answer is followed by the detail records it fetched; the entry's
// amount and invoice are the settlement's own (none), not those of a detail record.
TEST(JournalRecord, SummariesComeFromTheOperationsOwnCall) {
    SettlementResponseOut settlement{};
    field_copy(settlement.SettlementStatusOut, "0");
    SettlementDataRecordOut detail{};
    field_copy(detail.TotalAmountOut, "000000004500");
    field_copy(detail.InvoiceNumberOut, "000001");
    detail.DiagRequestOut = 5;
    JournalEntry e;
    e.response = {journal_record(settlement), journal_record(detail)};
    summarise_entry(e);
    EXPECT_EQ(e.status, "Authorised");
    EXPECT_EQ(e.amount, "");
    EXPECT_EQ(e.invoice, "");
    EXPECT_EQ(e.result_code, 0);
}

// A field whose name says it holds a card number, track data or a password must
// never be described as plain text: the journal would keep it as it is.
TEST(RecordDescriptions, EveryRecordIsCoveredAndSensitiveFieldsAreNotText) {
    std::set<std::string> records;
    for (const RecordDesc& record : all_records()) {
        EXPECT_TRUE(records.insert(record.name).second) << record.name;
        EXPECT_EQ(find_record(record.name), &record);
        std::set<std::string> names;
        std::size_t end = 0;
        for (const FieldDesc& f : record.fields) {
            EXPECT_TRUE(names.insert(f.name).second) << record.name << "." << f.name;
            EXPECT_GE(f.offset, end) << record.name << "." << f.name;
            end = f.offset + f.width;
            const std::string name = f.name;
            const bool pan = name.find("PAN") != std::string::npos &&
                             name.find("PANSequenceNumber") == std::string::npos;
            const bool track =
                name.find("Track") != std::string::npos && name.find("Buffer") != std::string::npos;
            const bool password = name.find("Password") != std::string::npos;
            const bool text = f.kind == FieldKind::Text || f.kind == FieldKind::Latin2Text;
            if (pan && f.kind != FieldKind::Pan)
                ADD_FAILURE() << record.name << "." << f.name << " is not masked as a card number";
            if ((track || password) && text)
                ADD_FAILURE() << record.name << "." << f.name << " is kept as text";
        }
        EXPECT_LE(end, record.size) << record.name;
        EXPECT_LE(record.size - end, 3u) << record.name;
    }
    EXPECT_GE(records.size(), 50u);
}

} // namespace
