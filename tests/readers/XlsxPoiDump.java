// Opens .xlsx packages with Apache POI's XSSF reader and prints what it finds, for poi_vs_xls.py:
//
//   file <path>
//   sheet <relationship id> <JSON name>
//   cell <A1 reference> <JSON value>
//
// The value of a text cell is its text; without styles POI gives a number cell's value as the
// text of its <v> element.
// The package, its content types, relationships and core properties go through POI's OPC layer;
// the shared strings and each sheet through its SAX handlers of the XSSF event model. (The XSSF
// user model cannot run on Debian 12: its poi-ooxml-schemas jar lacks the compiled schema types.)
// A package POI refuses ends the program with status 1 and POI's message.
import java.io.File;
import java.io.InputStream;
import javax.xml.parsers.SAXParserFactory;
import org.apache.poi.openxml4j.opc.OPCPackage;
import org.apache.poi.openxml4j.opc.PackageAccess;
import org.apache.poi.openxml4j.opc.PackagePart;
import org.apache.poi.openxml4j.opc.PackageRelationship;
import org.apache.poi.ss.usermodel.DataFormatter;
import org.apache.poi.ss.usermodel.Font;
import org.apache.poi.ss.usermodel.RichTextString;
import org.apache.poi.xssf.eventusermodel.ReadOnlySharedStringsTable;
import org.apache.poi.xssf.eventusermodel.XSSFReader;
import org.apache.poi.xssf.eventusermodel.XSSFSheetXMLHandler;
import org.apache.poi.xssf.model.SharedStrings;
import org.apache.poi.xssf.model.Styles;
import org.apache.poi.xssf.usermodel.XSSFCellStyle;
import org.apache.poi.xssf.usermodel.XSSFComment;
import org.apache.poi.xssf.usermodel.XSSFFont;
import org.apache.poi.xssf.usermodel.extensions.XSSFCellBorder;
import org.apache.poi.xssf.usermodel.extensions.XSSFCellFill;
import org.xml.sax.InputSource;
import org.xml.sax.XMLReader;

public class XlsxPoiDump {
    // No styles: every number comes out as it is written.
    static final class NoStyles implements Styles {
        public String getNumberFormatAt(short i) { return null; }
        public int putNumberFormat(String f) { return 0; }
        public void putNumberFormat(short i, String f) {}
        public boolean removeNumberFormat(short i) { return false; }
        public boolean removeNumberFormat(String f) { return false; }
        public XSSFFont getFontAt(int i) { return null; }
        public int putFont(XSSFFont f, boolean d) { return 0; }
        public int putFont(XSSFFont f) { return 0; }
        public XSSFCellStyle getStyleAt(int i) { return null; }
        public int putStyle(XSSFCellStyle s) { return 0; }
        public XSSFCellBorder getBorderAt(int i) { return null; }
        public int putBorder(XSSFCellBorder b) { return 0; }
        public XSSFCellFill getFillAt(int i) { return null; }
        public int putFill(XSSFCellFill f) { return 0; }
        public int getNumCellStyles() { return 0; }
        public int getNumDataFormats() { return 0; }
    }

    // The table's texts as plain strings (POI's own rich strings need the schema types).
    static final class PlainStrings implements SharedStrings {
        private final ReadOnlySharedStringsTable table;
        PlainStrings(ReadOnlySharedStringsTable table) { this.table = table; }
        public RichTextString getItemAt(int i) {
            final String text = table.getEntryAt(i);
            return new RichTextString() {
                public void applyFont(int a, int b, short f) {}
                public void applyFont(int a, int b, Font f) {}
                public void applyFont(Font f) {}
                public void clearFormatting() {}
                public String getString() { return text; }
                public int length() { return text.length(); }
                public int numFormattingRuns() { return 0; }
                public int getIndexOfFormattingRun(int i) { return 0; }
                public void applyFont(short f) {}
                public String toString() { return text; }
            };
        }
        public int getCount() { return table.getCount(); }
        public int getUniqueCount() { return table.getUniqueCount(); }
    }

    static String json(String s) {
        StringBuilder out = new StringBuilder("\"");
        for (int i = 0; i < s.length(); ++i) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') out.append('\\').append(c);
            else if (c < 0x20 || c > 0x7E) out.append(String.format("\\u%04x", (int) c));
            else out.append(c);
        }
        return out.append('"').toString();
    }

    public static void main(String[] args) throws Exception {
        for (String path : args) {
            System.out.println("file " + path);
            try (OPCPackage pkg = OPCPackage.open(new File(path), PackageAccess.READ)) {
                pkg.getPackageProperties().getCreatorProperty();
                XSSFReader reader = new XSSFReader(pkg);
                SharedStrings strings = new PlainStrings(new ReadOnlySharedStringsTable(pkg));
                PackagePart workbook = pkg.getPart(pkg.getRelationshipsByType(
                    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument").getRelationship(0));
                for (PackageRelationship rel : workbook.getRelationshipsByType(
                         "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet")) {
                    System.out.println("sheet " + rel.getId());
                    try (InputStream sheet = reader.getSheet(rel.getId())) {
                        SAXParserFactory factory = SAXParserFactory.newInstance();
                        factory.setNamespaceAware(true);
                        XMLReader parser = factory.newSAXParser().getXMLReader();
                        parser.setContentHandler(new XSSFSheetXMLHandler(new NoStyles(), strings,
                            new XSSFSheetXMLHandler.SheetContentsHandler() {
                                public void startRow(int row) {}
                                public void endRow(int row) {}
                                public void cell(String ref, String value, XSSFComment comment) {
                                    System.out.println("cell " + ref + " " + json(value));
                                }
                                public void headerFooter(String text, boolean isHeader, String tagName) {}
                            }, new DataFormatter(), false));
                        parser.parse(new InputSource(sheet));
                    }
                }
            } catch (Exception e) {
                System.out.println("POI refused " + path + ": " + e);
                System.exit(1);
            }
        }
    }
}
