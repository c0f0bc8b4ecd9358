#include "converter/Csv.h"

namespace quarvel {

namespace {

// Where a scan over a record stands: inside a quoted field or not, and at a field's first
// character or not.
struct TQuoteState {
    bool InQuotes = false;
    bool AtFieldStart = true;
};

// Scans text that continues a record from `state`; leaves the state at the text's end.
void Scan(std::u16string_view text, char16_t divider, char16_t quote, TQuoteState& state) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (state.InQuotes) {
            if (c != quote) continue;
            if (i + 1 < text.size() && text[i + 1] == quote) {
                ++i;  // a doubled quote stands for one
            } else {
                state.InQuotes = false;
            }
        } else if (state.AtFieldStart && c == quote) {
            state.InQuotes = true;
            state.AtFieldStart = false;
        } else {
            state.AtFieldStart = c == divider;
        }
    }
}

}  // namespace

void JoinQuotedRecords(std::vector<WideString>& lines, char16_t divider, char16_t quote) {
    size_t kept = 0;
    for (size_t i = 0; i < lines.size();) {
        WideString record = std::move(lines[i++]);
        TQuoteState state;
        Scan(record, divider, quote, state);
        while (state.InQuotes && i < lines.size()) {
            const size_t from = record.size() + 1;
            record += u'\n';
            record += lines[i++];
            Scan(std::u16string_view(record).substr(from), divider, quote, state);
        }
        lines[kept++] = std::move(record);
    }
    lines.resize(kept);
}

size_t CutQuotedFields(std::u16string_view record, char16_t divider, char16_t quote,
                       std::vector<std::u16string_view>& fields, WideString& scratch, size_t limit) {
    fields.clear();
    scratch.clear();
    // The unquoted fields together are never longer than the record, so the views into the
    // scratch text stay valid while it fills.
    scratch.reserve(record.size());
    const size_t n = record.size();
    size_t count = 0;
    size_t i = 0;
    for (;;) {
        std::u16string_view value;
        size_t end;
        if (i < n && record[i] == quote) {
            // The quoted text: from after the opening quote to the closing one.
            const size_t start = i + 1;
            size_t j = start;
            bool doubled = false;
            size_t close = n;
            for (;;) {
                const size_t q = record.find(quote, j);
                if (q == std::u16string_view::npos) break;  // left open: to the end
                if (q + 1 < n && record[q + 1] == quote) {
                    doubled = true;
                    j = q + 2;
                    continue;
                }
                close = q;
                break;
            }
            const size_t after = close == n ? n : close + 1;
            end = record.find(divider, after);
            if (end == std::u16string_view::npos) end = n;
            if (!doubled && end == after) {
                value = record.substr(start, close - start);
            } else if (count < limit) {
                const size_t first = scratch.size();
                for (size_t k = start; k < close; ++k) {
                    scratch.push_back(record[k]);
                    if (record[k] == quote) ++k;  // one of a doubled pair
                }
                scratch.append(record.substr(after, end - after));
                value = std::u16string_view(scratch).substr(first);
            }
        } else {
            end = record.find(divider, i);
            if (end == std::u16string_view::npos) end = n;
            value = record.substr(i, end - i);
        }
        if (count < limit) fields.push_back(value);
        ++count;
        if (end >= n) return count;
        i = end + 1;
    }
}

}  // namespace quarvel
