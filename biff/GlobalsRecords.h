// The records that frame the substreams (BOF, EOF, CONTINUE) and the records of the workbook
// globals: the workbook's settings, its window, its sheets and its shared string table.
//
// Per record: its id, its body size and a function that writes the body's fields in body order
// (see biff/RecordSink.h for how they are written). The records held in the globals default list
// (biff/RecordStorage.h) are edited there in place; their T...Offsets name where each field lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ByteBuffer.h"

namespace quarvel {

// -------------------------------------------------------------------------------------------------
// Substreams

// BOF: the first record of every substream.
//   offset size field
//   0      2    BIFF version, 0x0600 (BIFF8)
//   2      2    substream type: 0x0005 workbook globals, 0x0010 worksheet
//   4      2    build of the writing application
//   6      2    year of that build
//   8      4    file history flags
//   12     4    lowest application version that can read every record of the file
inline constexpr uint16_t ridBOF = 0x0809;
inline constexpr size_t BOFSize = 16;
inline constexpr uint16_t BOFGlobals = 0x0005;
inline constexpr uint16_t BOFWorksheet = 0x0010;
void PutBOF(TByteSpan& body, uint16_t type, uint16_t build, uint16_t year, uint32_t history, uint32_t lowestVersion);

// EOF: the last record of every substream; its body is empty.
inline constexpr uint16_t ridEOF = 0x000A;

// CONTINUE: the rest of a body longer than a record holds, as many as needed after the record.
inline constexpr uint16_t ridCONTINUE = 0x003C;

// -------------------------------------------------------------------------------------------------
// Records whose body is one 16-bit value, held in the globals default list (PROTECT is
// biff/SheetRecords.h's).

inline constexpr uint16_t ridPRECISION = 0x000E;     // 1 full precision, 0 precision as displayed
inline constexpr uint16_t ridPASSWORD = 0x0013;      // hash of the protection password, 0 none
inline constexpr uint16_t ridWINDOWPROTECT = 0x0019; // 1 the workbook's windows are protected
inline constexpr uint16_t ridDATEMODE = 0x0022;      // 1 dates count from 1904, 0 from 1900
inline constexpr uint16_t ridBACKUP = 0x0040;        // 1 save a backup copy
inline constexpr uint16_t ridCODEPAGE = 0x0042;      // code page of the 8-bit texts; 1200: UTF-16
inline constexpr uint16_t ridHIDEOBJ = 0x008D;       // 0 show objects, 1 placeholders, 2 hide them
inline constexpr uint16_t ridFNGROUPCOUNT = 0x009C;  // number of built-in function groups
inline constexpr uint16_t ridBOOKBOOL = 0x00DA;      // 1 do not save external link values
inline constexpr uint16_t ridDSF = 0x0161;           // 1 the file also holds a BIFF5 stream
inline constexpr uint16_t ridPROT4REV = 0x01AF;      // 1 the shared-workbook history is protected
inline constexpr uint16_t ridREFRESHALL = 0x01B7;    // 1 refresh external data when opening

// -------------------------------------------------------------------------------------------------
// The workbook

// WRITEACCESS: the name of the user who saved the file.
//   offset size field
//   0      2    character count n (at most 109)
//   2      1    option byte 0: one byte per character
//   3      109  the name, one byte per character, then blanks
inline constexpr uint16_t ridWRITEACCESS = 0x005C;
inline constexpr size_t WriteAccessSize = 112;
inline constexpr size_t WriteAccessMaxName = 109;
struct TWriteAccessOffsets {
    static constexpr size_t Count = 0, Options = 2, Name = 3;
};
// The low byte of each of the first WriteAccessMaxName characters.
void PutWriteAccess(TByteSpan& body, std::u16string_view name);

// FILESHARING: the read-only recommendation, written as the workbook holds it.
inline constexpr uint16_t ridFILESHARING = 0x005B;
// OBPROJ: the workbook has a macro project; its body is empty.
inline constexpr uint16_t ridOBPROJ = 0x00D3;

// TABID: one id per sheet, in sheet order.
//   offset size field
//   0      2n   the ids 1, 2, ..., n of the n sheets
inline constexpr uint16_t ridTABID = 0x013D;
inline constexpr size_t TabIdSize(size_t sheets) { return 2 * sheets; }
void PutTabId(TByteSpan& body, size_t sheets);

// WINDOW1: the workbook's window.
//   offset size field
//   0      2    left, in twips
//   2      2    top
//   4      2    width
//   6      2    height
//   8      2    options: 0x0001 hidden, 0x0002 minimised, 0x0008 horizontal scroll bar,
//               0x0010 vertical scroll bar, 0x0020 sheet tabs
//   10     2    active sheet
//   12     2    first sheet tab shown
//   14     2    number of selected sheets
//   16     2    width of the sheet tab bar, per mille of the window's width
inline constexpr uint16_t ridWINDOW1 = 0x003D;
inline constexpr size_t Window1Size = 18;
struct TWindow1Offsets {
    static constexpr size_t Left = 0, Top = 2, Width = 4, Height = 6, Options = 8, ActiveTab = 10, FirstTab = 12,
                            SelectedTabs = 14, TabRatio = 16;
};
struct TWindow1Fields {
    uint16_t Left = 100, Top = 100, Width = 10000, Height = 7000;
    uint16_t Options = 0x0038;
    uint16_t ActiveTab = 0, FirstTab = 0, SelectedTabs = 1, TabRatio = 600;
};
void PutWindow1(TByteSpan& body, const TWindow1Fields& window);

// COUNTRY: the countries of the application and of the system.
//   offset size field
//   0      2    country of the application's user interface
//   2      2    country of the system
inline constexpr uint16_t ridCOUNTRY = 0x008C;
inline constexpr size_t CountrySize = 4;
void PutCountry(TByteSpan& body, uint16_t application, uint16_t system);

// RECALCID: the calculation engine that last calculated the workbook. A record of the later file
// versions: it names its own id first.
//   offset size field
//   0      2    record id, 0x01C1, again
//   2      2    reserved, 0
//   4      4    build of the calculation engine
inline constexpr uint16_t ridRECALCID = 0x01C1;
inline constexpr size_t RecalcIdSize = 8;
void PutRecalcId(TByteSpan& body, uint32_t build);

// BOUNDSHEET: one sheet, in sheet order; the sheet's BOF position is known only once the sheet is
// written, and is patched then.
//   offset size field
//   0      4    stream position of the sheet's BOF record
//   4      1    visibility: 0 visible, 1 hidden, 2 very hidden
//   5      1    sheet type: 0x00 worksheet, 0x01 macro sheet, 0x02 chart, 0x06 VB module
//   6      1    character count n of the name
//   7      1    option byte 0x01: UTF-16 characters, whatever the characters
//   8      2n   name
inline constexpr uint16_t ridBOUNDSHEET = 0x0085;
inline constexpr size_t BoundsheetSize(size_t nameLength) { return 8 + 2 * nameLength; }
struct TBoundsheetOffsets {
    static constexpr size_t BOFPosition = 0;
};
void PutBoundsheet(TByteSpan& body, uint32_t bofPosition, uint8_t visibility, uint8_t type,
                   std::u16string_view name);

// -------------------------------------------------------------------------------------------------
// The shared string table (written by biff/SST.h, which continues it in CONTINUE records)

// SST: every distinct text of the text cells.
//   offset size field
//   0      4    references to the texts, over all cells
//   4      4    distinct texts n
//   8      ...  n strings: character count (2), option byte (1: bit 0 UTF-16 characters), the
//               characters; a string's count and option byte are never split from each other,
//               and a CONTINUE record that goes on with its characters starts with the option
//               byte again
inline constexpr uint16_t ridSST = 0x00FC;
struct TSSTOffsets {
    static constexpr size_t TotalCount = 0, UniqueCount = 4, Strings = 8;
};

// EXTSST: where every bucket-th string of the SST lies, for readers that look texts up.
//   offset size field
//   0      2    strings per bucket
//   2      8n   per bucket: stream position of its first string (4), that string's offset from the
//               start of the record holding it, header included (2), reserved 0 (2)
inline constexpr uint16_t ridEXTSST = 0x00FF;
struct TExtSSTBucket {
    uint32_t Position;
    uint16_t Offset;
};
inline constexpr size_t ExtSSTSize(size_t buckets) { return 2 + 8 * buckets; }
void PutExtSST(TByteSpan& body, uint16_t bucketSize, const TExtSSTBucket* buckets, size_t count);

}  // namespace quarvel
