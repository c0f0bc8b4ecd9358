#include "writer/XlsxSharedStrings.h"

#include "biff/SST.h"
#include "writer/XmlWriter.h"

namespace quarvel {

void WriteSharedStrings(TSST2& strings, TXmlWriter& xml) {
    xml.Declaration();
    xml.Start("sst");
    xml.Attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
    xml.Attribute("count", static_cast<int64_t>(strings.TotalCount()));
    xml.Attribute("uniqueCount", static_cast<int64_t>(strings.UniqueCount()));
    xml.CloseStart();
    WideString text;
    strings.NumberEntries([&](const TSSTEntry& entry) {
        // An entry holds one byte a character (all at most U+00FF) or UTF-16 little-endian units.
        const uint8_t* chars = entry.Chars();
        text.resize(entry.CharCount());
        if (entry.IsWide()) {
            for (size_t i = 0; i < text.size(); ++i)
                text[i] = static_cast<char16_t>(chars[2 * i] | (chars[2 * i + 1] << 8));
        } else {
            for (size_t i = 0; i < text.size(); ++i) text[i] = chars[i];
        }
        xml.Raw("<si>");
        xml.TextElement("t", text);
        xml.Raw("</si>");
    });
    xml.End("sst");
}

}  // namespace quarvel
