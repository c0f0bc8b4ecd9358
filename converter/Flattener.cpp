// The HTML table flattener: a single pass over the page's bytes that drops tags, turns table rows,
// paragraphs, captions, titles and line-break tags into lines and table cells into fields, records
// the areas to merge, and then widens the lines so that spanned cells keep their columns.
#include <algorithm>
#include <array>
#include <deque>
#include <cstring>

#include "converter/Converter.h"
#include "platform/Memory.h"

namespace quarvel {

namespace {

// Upper-case tag forms the scanner also knows, replaced by their lower-case forms before the scan.
constexpr std::string_view kTagForms[][2] = {
    {"<SCRIPT", "<script"},     {"</SCRIPT>", "</script>"}, {"<STYLE", "<style"},
    {"</STYLE>", "</style>"},   {"</TR>", "</tr>"},         {"</P>", "</p>"},
    {"</CAPTION>", "</caption>"}, {"</TITLE>", "</title>"}, {"<BR", "<br"},
    {"<HR", "<hr"},             {"<IMG", "<img"},           {"</TD>", "</td>"},
    {"<TD", "<td"},             {" COLSPAN=", " colspan="}, {" ROWSPAN=", " rowspan="},
    {" ALT=", " alt="},
};

// The four decoded entities, tried in this order (names without their ";").
struct TEntity {
    std::string_view Name;
    char Replacement;
};
constexpr TEntity kEntities[] = {{"&nbsp", ' '}, {"&quot", '"'}, {"&lt", '<'}, {"&gt", '>'}};

// Browsers cap spans at these values; larger ones would only make the span expansion write
// millions of dividers (and overflow the column arithmetic).
constexpr int32_t kMaxColSpan = 1000;
constexpr int32_t kMaxRowSpan = 65534;

// Byte comparison for the short names of the scanner (cheaper than a library call per tag).
inline bool SameBytes(const char* p, std::string_view name) {
    for (size_t k = 0; k < name.size(); ++k) {
        if (p[k] != name[k]) return false;
    }
    return true;
}

// Lower-cases the known upper-case tag forms, up to the first zero byte. No two forms can match at
// the same place and a replacement never creates another match, so one pass does all of them.
void NormaliseTags(std::string& page) {
    size_t n = page.size();
    size_t zero = page.find('\0');
    if (zero != std::string::npos) n = zero;
    char* p = page.data();
    for (size_t i = 0; i + 1 < n; ++i) {
        char c = p[i];
        if (c != '<' && c != ' ') continue;
        // Every form continues with an upper-case letter or "/".
        char next = p[i + 1];
        if (next != '/' && (next < 'A' || next > 'Z')) continue;
        for (const auto& form : kTagForms) {
            std::string_view upper = form[0];
            if (upper[0] == c && upper[1] == next && n - i >= upper.size() && SameBytes(p + i, upper)) {
                std::memcpy(p + i, form[1].data(), upper.size());
                i += upper.size() - 1;
                break;
            }
        }
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EndsValue(char c) { return c == ' ' || c == '"' || c == '\''; }

// The value of an attribute that starts at `start` in a tag's text: up to and including the first
// blank or quote after its first byte, or to the end of the text.
std::string_view AttributeValue(std::string_view tag, size_t start) {
    if (start >= tag.size()) return {};
    for (size_t e = start + 1; e < tag.size(); ++e) {
        if (EndsValue(tag[e])) return tag.substr(start, e - start + 1);
    }
    return tag.substr(start);
}

// colspan or rowspan of a td tag's text, less one; 0 when absent or not a number.
int32_t SpanExtra(std::string_view tag, std::string_view attribute, int32_t maxSpan) {
    size_t k = tag.find(attribute);
    if (k == std::string_view::npos) return 0;
    std::string_view value = AttributeValue(tag, k + attribute.size());
    if (!value.empty() && !IsDigit(value.front())) value.remove_prefix(1);
    if (!value.empty() && !IsDigit(value.back())) value.remove_suffix(1);
    if (value.empty()) return 0;
    int64_t number = 0;
    for (char c : value) {
        if (!IsDigit(c)) return 0;
        number = number * 10 + (c - '0');
        if (number > 0x7FFFFFFF) return 0;  // not a 32-bit integer
    }
    if (number > maxSpan) number = maxSpan;
    return static_cast<int32_t>(number) - 1;
}

// Bytes that end a run of plain text: a tag, a line break (never copied), ";" (entity check).
constexpr auto kSpecial = [] {
    std::array<bool, 256> special{};
    special['<'] = special['\r'] = special['\n'] = special[';'] = true;
    return special;
}();

// One run of the scanner over a page.
class THtmlScanner {
public:
    THtmlScanner(std::string& page, const TConversionSettings& settings, std::vector<TSpanRecord>& spans,
                 std::vector<TExcelColor>& lineColors)
        : page_(page),
          n_(page.size()),
          divider_(static_cast<char>(DividerByte(settings))),
          borderIndex_(ColorToExcelColor(settings.BorderColor)),
          spans_(spans),
          lineColors_(lineColors) {
        spans_.clear();
        lineColors_.assign(1, xc0);
        if (!settings.HeaderText.empty()) {
            out_ = settings.HeaderText + "\r\n";
            spans_.push_back({1, 1, -1, 1});
            lineColors_[0] = xcWhite;
            NextLine();
        }
        out_.reserve(out_.size() + page.size());
        AdviseHugePages(out_.data(), out_.capacity());
    }

    std::string Run() {
        NormaliseTags(page_);
        const char* p = page_.data();
        size_t i = 0;
        while (i < n_) {
            char c = p[i];
            if (c == '<') {
                i = Tag(i);
            } else if (started_ && c != '\n' && c != '\r') {
                if (!textStarted_ && c != ' ') textStarted_ = true;
                if (textStarted_) {
                    if (c == ';') {
                        out_.push_back(c);
                        DecodeEntity();
                    } else {
                        // Copy the run of plain text up to the next byte that needs a look.
                        size_t end = i + 1;
                        while (end < n_ && !kSpecial[static_cast<unsigned char>(p[end])]) ++end;
                        out_.append(p + i, end - i);
                        i = end - 1;
                    }
                }
            }
            ++i;
        }
        return std::move(out_);
    }

private:
    // Opening-name test at the "<" at index i; made only while the name ends before the last byte.
    // When the test cannot be made, openName keeps its value.
    bool Opens(size_t i, std::string_view name) {
        if (i + 1 + name.size() >= n_) return false;
        bool same = SameBytes(page_.data() + i + 1, name);
        openName_ = same ? name : std::string_view();
        return same;
    }

    // Closing-name test at the ">" at index g.
    bool Closes(size_t g, std::string_view name) {
        if (g < name.size() || !SameBytes(page_.data() + g - name.size(), name)) {
            return false;
        }
        closeName_ = name;
        return true;
    }

    void NextLine() {
        ++line_;
        lineColors_.resize(static_cast<size_t>(line_), xc0);
    }

    void SetLineColor(TExcelColor color) { lineColors_[static_cast<size_t>(line_) - 1] = color; }

    void TrimBlanks() {
        while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    }

    // The text of the tag being read: from `start` (1-based index after its name) to before the ">".
    std::string_view TagText(size_t start, size_t g) const {
        size_t from = start == 0 ? 0 : start - 1;
        if (from >= g) return {};
        return std::string_view(page_).substr(from, g - from);
    }

    // Handles the "<" at index i; returns the index of the last byte the tag used.
    size_t Tag(size_t i) {
        const char* p = page_.data();
        if (Opens(i, "script")) {
            return SkipElement(i + 8, "</script>");
        }
        if (Opens(i, "style")) {
            return SkipElement(i + 7, "</style>");
        }
        if (Opens(i, "td")) {
            tdStart_ = i + 4;  // 1-based index just after "<td"
        } else if (Opens(i, "img")) {
            imgStart_ = i + 5;
        } else if (Opens(i, "br") || Opens(i, "hr")) {
            out_ += "\r\n";
            SetLineColor(xcWhite);
            NextLine();
            col_ = 1;
        }
        size_t g = i;
        while (g + 1 < n_ && p[g] != '>') ++g;
        if (p[g] != '>') return g;

        started_ = true;
        if (openName_ == "td") {
            SpanAttributes(TagText(tdStart_, g));
        } else if (openName_ == "img") {
            AltText(TagText(imgStart_, g));
        }
        if (Closes(g, "/tr") || Closes(g, "/p") || Closes(g, "/caption") || Closes(g, "/title")) {
            EndLine();
        } else if (Closes(g, "/td")) {
            TrimBlanks();
            out_.push_back(divider_);
            textStarted_ = false;
            tdStart_ = 0;
            ++col_;
        }
        return g;
    }

    // Skips a script or style element whose closing tag is searched from index `from`; without a
    // closing tag the rest of the page is skipped.
    size_t SkipElement(size_t from, std::string_view closing) {
        started_ = true;
        size_t k = from < n_ ? std::string_view(page_).find(closing, from) : std::string_view::npos;
        return k == std::string_view::npos ? n_ : k + closing.size() - 1;
    }

    void EndLine() {
        if (closeName_ == "/caption") spans_.push_back({col_, line_, 0, line_});
        TrimBlanks();
        if (!out_.empty() && out_.back() == divider_) {
            out_.back() = '\r';
            out_.push_back('\n');
        } else {
            out_ += "\r\n";
        }
        SetLineColor(closeName_ == "/tr" ? borderIndex_ : xcWhite);
        NextLine();
        if (closeName_ == "/title") {
            out_ += "\r\n";
            SetLineColor(xcWhite);
            NextLine();
        }
        col_ = 1;
        textStarted_ = false;
    }

    void SpanAttributes(std::string_view tag) {
        if (tag.empty()) return;
        int32_t colExtra = SpanExtra(tag, " colspan=", kMaxColSpan);
        int32_t rowExtra = SpanExtra(tag, " rowspan=", kMaxRowSpan);
        if (colExtra <= 0 && rowExtra <= 0) return;
        spans_.push_back({col_, line_, col_ + colExtra, line_ + rowExtra});
        if (colExtra > 0) col_ += colExtra;
    }

    void AltText(std::string_view tag) {
        if (tag.empty()) return;
        size_t k = tag.find(" alt=");
        if (k == std::string_view::npos) return;
        std::string_view value = AttributeValue(tag, k + 5);
        if (!value.empty() && (value.front() == '"' || value.front() == '\'')) value.remove_prefix(1);
        if (!value.empty() && (value.back() == '"' || value.back() == '\'')) value.remove_suffix(1);
        out_.append(value);
    }

    // After a ";" was appended: replaces a known entity that ends there, then drops blanks that
    // would open a field or a line.
    void DecodeEntity() {
        for (const TEntity& entity : kEntities) {
            size_t length = entity.Name.size();
            if (out_.empty() || out_.back() != ';' || out_.size() - 1 < length ||
                out_.compare(out_.size() - 1 - length, length, entity.Name) != 0) {
                continue;
            }
            out_.resize(out_.size() - length);
            out_.back() = entity.Replacement;
            size_t blanks = 0;
            while (blanks < out_.size() && out_[out_.size() - 1 - blanks] == ' ') ++blanks;
            if (blanks > 0) {
                bool whole = blanks == out_.size();
                char before = whole ? '\0' : out_[out_.size() - 1 - blanks];
                if (whole || before == divider_ || before == '\n') out_.resize(out_.size() - blanks);
            }
        }
    }

    std::string& page_;
    size_t n_;
    char divider_;
    TExcelColor borderIndex_;
    std::vector<TSpanRecord>& spans_;
    std::vector<TExcelColor>& lineColors_;
    std::string out_;
    bool started_ = false;
    bool textStarted_ = false;
    size_t tdStart_ = 0;
    size_t imgStart_ = 0;
    std::string_view openName_;
    std::string_view closeName_;
    int32_t col_ = 1;
    int32_t line_ = 1;
};

// Inserts empty fields where a cell spans several columns or rows, so that every later cell keeps
// its own column. Works on the lines' bytes (the divider and the line ends are single bytes); a
// rebuilt line is kept in `store` and its view pointed there.
void ExpandSpans(std::vector<std::string_view>& lines, std::deque<std::string>& store,
                 const std::vector<TSpanRecord>& spans, char divider) {
    std::vector<std::string_view> fields;
    for (const TSpanRecord& span : spans) {
        if (span.Col2 <= 0) continue;
        int64_t extra = int64_t(span.Col2) - span.Col1;
        int64_t last = std::min<int64_t>(int64_t(span.Row2) - 1, int64_t(lines.size()) - 1);
        for (int64_t r = std::max<int64_t>(int64_t(span.Row1) - 1, 0); r <= last; ++r) {
            std::string_view line = lines[static_cast<size_t>(r)];
            fields.clear();
            size_t start = 0;
            for (;;) {
                size_t end = line.find(divider, start);
                if (end == std::string_view::npos) {
                    fields.push_back(line.substr(start));
                    break;
                }
                fields.push_back(line.substr(start, end - start));
                start = end + 1;
            }
            std::string rebuilt;
            rebuilt.reserve(line.size() + 2 + static_cast<size_t>(std::max<int64_t>(extra + 1, 0)));
            bool first = r == int64_t(span.Row1) - 1;
            for (size_t k = 0; k < fields.size(); ++k) {
                bool spanned = int64_t(k) == int64_t(span.Col1) - 1;
                if (!first && spanned && extra + 1 > 0) rebuilt.append(static_cast<size_t>(extra + 1), divider);
                rebuilt.append(fields[k]);
                rebuilt.push_back(divider);
                if (first && spanned && extra > 0) rebuilt.append(static_cast<size_t>(extra), divider);
            }
            if (!rebuilt.empty() && rebuilt.back() == divider) rebuilt.pop_back();
            store.push_back(std::move(rebuilt));
            lines[static_cast<size_t>(r)] = store.back();
        }
    }
}

}  // namespace

std::string TConverter::FlattenHtml(std::string page, bool fillLines) {
    THtmlScanner scanner(page, Settings, SpanList, LineColors);
    std::string out = scanner.Run();
    Lines.clear();
    if (SpanList.empty()) {
        if (fillLines) SetLines(out);
        return out;
    }
    std::vector<std::string_view> lines = SplitLines(out);
    std::deque<std::string> rebuilt;
    ExpandSpans(lines, rebuilt, SpanList, static_cast<char>(DividerByte(Settings)));
    // The page's buffer is free now and already large enough for the usual result.
    std::string result = std::move(page);
    result.clear();
    size_t total = 0;
    for (std::string_view line : lines) total += line.size() + 2;
    result.reserve(total);
    for (std::string_view line : lines) {
        result += line;
        result += "\r\n";
    }
    if (fillLines) {
        Lines.reserve(lines.size());
        for (std::string_view line : lines) Lines.push_back(CodePage.Decode(line));
    }
    return result;
}

}  // namespace quarvel
