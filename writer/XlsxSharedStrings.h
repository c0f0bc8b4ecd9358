// xl/sharedStrings.xml: the workbook's shared string table, one <si> per distinct text. Writing it
// gives every entry its index, which the text cells of the sheets, written afterwards, refer to.
#pragma once

namespace quarvel {

class TSST2;
class TXmlWriter;

void WriteSharedStrings(TSST2& strings, TXmlWriter& xml);

}  // namespace quarvel
