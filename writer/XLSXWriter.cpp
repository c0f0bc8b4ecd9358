#include "writer/XLSXWriter.h"

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "platform/Zip.h"
#include "workbook/SheetData.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XlsxSharedStrings.h"
#include "writer/XlsxSheet.h"
#include "writer/XlsxStyles.h"
#include "writer/XlsxWorkbookParts.h"
#include "writer/XmlWriter.h"

namespace quarvel {

namespace {

// The big parts: fast deflate (see the header).
constexpr TZipMemberOptions kStreamedPart{TZipMethod::Deflated, 1};

// The archive's bytes into the atomic file, in order.
class TAtomicFileSink final : public TZipSink {
public:
    explicit TAtomicFileSink(TAtomicFile& file) : file_(file) {}
    void Write(const uint8_t* data, size_t count) override { file_.Write(data, count); }

private:
    TAtomicFile& file_;
};

// A small part, made whole and then added.
template <class Writer>
void AddPart(TZipWriter& zip, std::string_view name, Writer&& write) {
    TXmlWriter xml;
    write(xml);
    zip.AddMember(name, xml.Text());
}

// A big part, handed to the archive in pieces as it is made.
template <class Writer>
void StreamPart(TZipWriter& zip, std::string_view name, Writer&& write) {
    zip.BeginMember(name, kStreamedPart);
    TXmlWriter xml([&zip](const char* data, size_t size) { zip.Write(data, size); });
    write(xml);
    xml.Flush();
    zip.EndMember();
}

// The package of a readied workbook into sink. On failure the archive is incomplete; the owner of
// the sink discards it.
void WriteXlsx(TXLSWorkbook& workbook, TZipSink& sink) {
    // The cut counts stay at the model's zero: this format holds every cell the model can store.
    TSheets& sheets = workbook.Sheets();
    const int count = sheets.Count();
    const bool progress = static_cast<bool>(workbook.OnProgress());
    const std::function<void()> step = progress ? std::function<void()>([&workbook] { workbook.ProgressStep(); })
                                                : std::function<void()>();
    const TXlsxStyles styles(workbook);

    TZipWriter zip(sink);
    AddPart(zip, "[Content_Types].xml", [&](TXmlWriter& xml) { WriteContentTypes(xml, count); });
    AddPart(zip, "_rels/.rels", [&](TXmlWriter& xml) { WriteRootRelationships(xml); });
    AddPart(zip, "docProps/app.xml", [&](TXmlWriter& xml) { WriteAppProperties(xml, workbook); });
    AddPart(zip, "docProps/core.xml", [&](TXmlWriter& xml) { WriteCoreProperties(xml, workbook); });
    AddPart(zip, "xl/workbook.xml", [&](TXmlWriter& xml) { WriteWorkbookPart(xml, workbook); });
    AddPart(zip, "xl/_rels/workbook.xml.rels", [&](TXmlWriter& xml) { WriteWorkbookRelationships(xml, count); });
    AddPart(zip, "xl/styles.xml", [&](TXmlWriter& xml) { styles.Write(xml); });
    // The string table numbers its entries as it is written; the sheets refer to those numbers.
    StreamPart(zip, "xl/sharedStrings.xml", [&](TXmlWriter& xml) { WriteSharedStrings(workbook.SST(), xml); });
    const uint16_t selected = workbook.Workbook().SelectedTab();
    for (int i = 0; i < count; ++i) {
        StreamPart(zip, WorksheetPartName(i), [&](TXmlWriter& xml) {
            WriteWorksheet(sheets.Items(i), styles, static_cast<uint16_t>(i) == selected, xml, step);
        });
    }
    zip.Finish();
}

}  // namespace

void TXlsxWriter::WriteWorkbook(TXLSWorkbook& workbook, std::vector<uint8_t>* stream) const {
    if (!workbook.Password().empty()) throw Error("Workbooks with a password can not be written");
    if (stream) {
        std::vector<uint8_t> bytes;
        TZipMemorySink sink(bytes);
        WriteXlsx(workbook, sink);
        stream->swap(bytes);
        return;
    }
    if (workbook.Filename().empty()) throw Error("Filename is missing");
    TAtomicFile file(Utf16ToUtf8(workbook.Filename()));
    TAtomicFileSink sink(file);
    // An exception abandons the file: its destructor removes the temporary file.
    WriteXlsx(workbook, sink);
    file.Commit();
}

}  // namespace quarvel
