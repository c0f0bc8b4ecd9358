// Delimited text read as CSV: records that run over several lines and fields in quotes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbook/BIFFRecs.h"

namespace quarvel {

// Joins lines into records where a quoted field runs over a line break: a field that starts with
// the quote runs to the closing one (a doubled quote stands for one and closes nothing), and the
// line breaks inside it belong to it. The lines of one record are joined with LF, so that a line
// break becomes a line break in the cell. A quote left open runs to the last line.
void JoinQuotedRecords(std::vector<WideString>& lines, char16_t divider, char16_t quote);

// Cuts one record into fields at the dividers outside quotes, as CSV reads it: a field that
// starts with the quote is the text up to the closing quote, doubled quotes inside it standing for
// one quote (text after the closing quote, up to the next divider, is kept as it stands); any
// other field is the text up to the next divider, quotes and all. The fields are views into the
// record, or into `scratch` where a doubled quote had to be taken out (`scratch` is refilled and
// must outlive the views). Returns the number of fields; only the first `limit` are cut.
size_t CutQuotedFields(std::u16string_view record, char16_t divider, char16_t quote,
                       std::vector<std::u16string_view>& fields, WideString& scratch, size_t limit = SIZE_MAX);

}  // namespace quarvel
