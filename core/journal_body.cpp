#include "journal_body.h"

#include "journal_json.h"

#include <zstd.h>

#include <cstdint>

namespace {

// Level 6 packs a sale's body to about half of what level 1 does, in well under a
// millisecond.
constexpr int kLevel = 6;
constexpr unsigned char kFormat = 1;
enum Flags : unsigned { kRecordsFromCalls = 1 };

class Writer {
  public:
    void number(std::uint64_t n) {
        do {
            out_ += static_cast<char>((n & 0x7f) | (n > 0x7f ? 0x80 : 0));
            n >>= 7;
        } while (n);
    }
    void signed_number(std::int64_t n) {
        number((static_cast<std::uint64_t>(n) << 1) ^ static_cast<std::uint64_t>(n >> 63));
    }
    void text(std::string_view t) {
        number(t.size());
        out_ += t;
    }
    void fields(const std::vector<JournalField>& fields) {
        number(fields.size());
        for (const JournalField& f : fields) {
            text(f.name);
            text(f.value);
        }
    }
    void records(const std::vector<JournalRecord>& records) {
        number(records.size());
        for (const JournalRecord& r : records) {
            text(r.record);
            fields(r.fields);
        }
    }
    std::string& out() { return out_; }

  private:
    std::string out_;
};

class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool ok() const { return ok_; }
    std::uint64_t number() {
        std::uint64_t n = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ >= in_.size())
                return fail();
            const auto byte = static_cast<unsigned char>(in_[at_++]);
            n |= std::uint64_t{byte & 0x7fu} << shift;
            if (!(byte & 0x80))
                return n;
        }
        return fail();
    }
    std::int64_t signed_number() {
        const std::uint64_t n = number();
        return static_cast<std::int64_t>(n >> 1) ^ -static_cast<std::int64_t>(n & 1);
    }
    // A count of things of at least one byte each: never more than the bytes left.
    std::size_t count() {
        const std::uint64_t n = number();
        return n <= in_.size() - at_ ? static_cast<std::size_t>(n) : fail();
    }
    std::string text() {
        const std::size_t n = count();
        if (!ok_)
            return {};
        std::string t(in_.substr(at_, n));
        at_ += n;
        return t;
    }
    std::vector<JournalField> fields() {
        std::vector<JournalField> fields(count());
        for (JournalField& f : fields) {
            f.name = text();
            f.value = text();
        }
        return fields;
    }
    std::vector<JournalRecord> records() {
        std::vector<JournalRecord> records(count());
        for (JournalRecord& r : records) {
            r.record = text();
            r.fields = fields();
        }
        return records;
    }
    bool at_end() const { return ok_ && at_ == in_.size(); }

  private:
    std::size_t fail() {
        ok_ = false;
        at_ = in_.size();
        return 0;
    }
    std::string_view in_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// The request and response records that the calls' bytes decode to.
bool records_of_calls(const std::vector<JournalCall>& calls, std::vector<JournalRecord>& request,
                      std::vector<JournalRecord>& response) {
    for (const JournalCall& c : calls) {
        if (!c.request_record.empty()) {
            auto r = call_record(c.request_record, c.request);
            if (!r)
                return false;
            request.push_back(std::move(*r));
        }
        auto r = call_record(c.response_record, c.response);
        if (!r)
            return false;
        response.push_back(std::move(*r));
    }
    return true;
}

bool same_records(const std::vector<JournalRecord>& a, const std::vector<JournalRecord>& b) {
    return a == b;
}

} // namespace

std::string pack_entry_body(const JournalEntry& e) {
    std::vector<JournalRecord> request, response;
    const bool from_calls = !e.calls.empty() && records_of_calls(e.calls, request, response) &&
                            same_records(request, e.request) && same_records(response, e.response);
    Writer w;
    w.out() += static_cast<char>(kFormat);
    w.number(from_calls ? kRecordsFromCalls : 0);
    w.number(e.calls.size());
    for (const JournalCall& c : e.calls) {
        w.text(c.name);
        w.signed_number(c.started_ms - e.started_ms);
        w.signed_number(c.ended_ms - c.started_ms);
        w.text(c.request_record);
        w.text(c.request);
        w.text(c.response_record);
        w.text(c.response);
    }
    if (!from_calls) {
        w.records(e.request);
        w.records(e.response);
    }
    w.number(e.questions.size());
    for (const JournalQuestion& q : e.questions) {
        w.signed_number(q.at_ms - e.started_ms);
        w.text(q.question);
        w.text(q.answer);
        w.fields(q.details);
    }
    w.number(e.receipt.size());
    for (const std::string& line : e.receipt)
        w.text(line);

    const std::string& plain = w.out();
    std::string packed(ZSTD_compressBound(plain.size()), '\0');
    const std::size_t size =
        ZSTD_compress(packed.data(), packed.size(), plain.data(), plain.size(), kLevel);
    if (ZSTD_isError(size))
        return entry_detail_json(e); // read back like an older journal's entry
    packed.resize(size);
    return packed;
}

bool unpack_entry_body(std::string_view body, JournalEntry& e) {
    if (!body.empty() && body.front() == '{')
        return read_entry_detail_json(std::string(body), e);
    const unsigned long long size = ZSTD_getFrameContentSize(body.data(), body.size());
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN || size > (64u << 20))
        return false;
    std::string plain(static_cast<std::size_t>(size), '\0');
    const std::size_t got = ZSTD_decompress(plain.data(), plain.size(), body.data(), body.size());
    if (ZSTD_isError(got) || got != plain.size() || plain.empty() ||
        static_cast<unsigned char>(plain[0]) != kFormat)
        return false;
    Reader r(std::string_view(plain).substr(1));
    const std::uint64_t flags = r.number();
    e.calls.assign(r.count(), {});
    for (JournalCall& c : e.calls) {
        c.name = r.text();
        c.started_ms = e.started_ms + r.signed_number();
        c.ended_ms = c.started_ms + r.signed_number();
        c.request_record = r.text();
        c.request = r.text();
        c.response_record = r.text();
        c.response = r.text();
    }
    e.request.clear();
    e.response.clear();
    if (flags & kRecordsFromCalls) {
        if (!records_of_calls(e.calls, e.request, e.response))
            return false;
    } else {
        e.request = r.records();
        e.response = r.records();
    }
    e.questions.assign(r.count(), {});
    for (JournalQuestion& q : e.questions) {
        q.at_ms = e.started_ms + r.signed_number();
        q.question = r.text();
        q.answer = r.text();
        q.details = r.fields();
    }
    e.receipt.assign(r.count(), {});
    for (std::string& line : e.receipt)
        line = r.text();
    return r.at_end();
}
