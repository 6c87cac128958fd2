#include "journal_body.h"

#include "journal_json.h"

#include <zstd.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace {

// Level 3 packs a sale's body (with its calls' bytes) to 476 bytes, level 6 to 467
// and level 1 to 480; level 6 takes two thirds more of the writer's time for it.
constexpr int kLevel = 3;
constexpr unsigned char kFormat = 1;

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

// The records that the calls' bytes decode to, one side of each call (null where a
// call has none or its bytes do not decode).
std::vector<std::optional<JournalRecord>> decoded(const std::vector<JournalCall>& calls,
                                                  bool response) {
    std::vector<std::optional<JournalRecord>> records;
    for (const JournalCall& c : calls)
        records.push_back(response ? call_record(c.response_record, c.response)
                                   : call_record(c.request_record, c.request));
    return records;
}

// Each record as the number of the call whose bytes decode to it (counted from 1),
// or 0 and the record itself: a record the calls carry is not kept twice.
void put_records(Writer& w, const std::vector<JournalRecord>& records,
                 const std::vector<std::optional<JournalRecord>>& from_calls) {
    w.number(records.size());
    std::size_t next = 0; // the records follow the calls' order, so look on from the last
    for (const JournalRecord& r : records) {
        std::size_t found = 0;
        for (std::size_t k = next; k < from_calls.size() && !found; ++k)
            if (from_calls[k] && *from_calls[k] == r)
                found = k + 1;
        w.number(found);
        if (found) {
            next = found;
        } else {
            w.text(r.record);
            w.fields(r.fields);
        }
    }
}

bool get_records(Reader& r, std::vector<JournalRecord>& records,
                 const std::vector<JournalCall>& calls, bool response) {
    std::vector<std::optional<JournalRecord>> from_calls; // decoded when first needed
    records.assign(r.count(), {});
    for (JournalRecord& record : records) {
        const std::uint64_t call = r.number();
        if (!call) {
            record.record = r.text();
            record.fields = r.fields();
            continue;
        }
        if (from_calls.empty())
            from_calls = decoded(calls, response);
        if (call > from_calls.size() || !from_calls[call - 1])
            return false;
        record = *from_calls[call - 1];
    }
    return r.ok();
}

} // namespace

std::string pack_entry_body(const JournalEntry& e) {
    Writer w;
    w.out() += static_cast<char>(kFormat);
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
    put_records(w, e.request, decoded(e.calls, false));
    put_records(w, e.response, decoded(e.calls, true));
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
    w.number(e.receipt_styles.size()); // none when every line is plain
    for (int style : e.receipt_styles)
        w.number(static_cast<std::uint64_t>(style));

    const std::string& plain = w.out();
    std::string packed(ZSTD_compressBound(plain.size()), '\0');
    // One context a thread, kept: a new one each time allocates and clears its tables,
    // which cost as much as the compression itself.
    static thread_local const std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(
        ZSTD_createCCtx(), &ZSTD_freeCCtx);
    const std::size_t size =
        context ? ZSTD_compressCCtx(context.get(), packed.data(), packed.size(), plain.data(),
                                    plain.size(), kLevel)
                : ZSTD_compress(packed.data(), packed.size(), plain.data(), plain.size(), kLevel);
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
    if (!get_records(r, e.request, e.calls, false) || !get_records(r, e.response, e.calls, true))
        return false;
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
    e.receipt_styles.assign(r.count(), 0);
    for (int& style : e.receipt_styles)
        style = static_cast<int>(r.number());
    return r.at_end();
}
