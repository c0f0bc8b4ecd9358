#include "biff/SheetRecords.h"

namespace quarvel {

void PutGuts(TByteSpan& body, uint16_t rowGutter, uint16_t colGutter, uint16_t rowLevels, uint16_t colLevels) {
    body.PutU16(rowGutter);
    body.PutU16(colGutter);
    body.PutU16(rowLevels);
    body.PutU16(colLevels);
}

void PutDefaultRowHeight(TByteSpan& body, uint16_t options, uint16_t height) {
    body.PutU16(options);
    body.PutU16(height);
}

void PutDimensions(TByteSpan& body, uint32_t firstRow, uint32_t lastRowPlus1, uint16_t firstCol,
                   uint16_t lastColPlus1) {
    body.PutU32(firstRow);
    body.PutU32(lastRowPlus1);
    body.PutU16(firstCol);
    body.PutU16(lastColPlus1);
    body.PutU16(0);
}

void PutColInfo(TByteSpan& body, uint16_t firstCol, uint16_t lastCol, uint16_t width, uint16_t xf,
                uint16_t options) {
    body.PutU16(firstCol);
    body.PutU16(lastCol);
    body.PutU16(width);
    body.PutU16(xf);
    body.PutU16(options);
    body.PutU16(0);
}

void PutHeaderFooter(TByteSpan& body, std::u16string_view text) {
    if (text.empty()) return;
    body.PutU16(static_cast<uint16_t>(text.size()));
    body.PutU8(0x01);
    body.PutUtf16(text.data(), text.size());
}

void PutMargin(TByteSpan& body, double inches) { body.PutF64(inches); }

void PutPageBreaks(TByteSpan& body, const TPageBreak* breaks, size_t count) {
    body.PutU16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        body.PutU16(breaks[i].Position);
        body.PutU16(breaks[i].First);
        body.PutU16(breaks[i].Last);
    }
}

void PutSetup(TByteSpan& body, const TSetupFields& setup) {
    body.PutU16(setup.PaperSize);
    body.PutU16(setup.Scale);
    body.PutU16(setup.StartPage);
    body.PutU16(setup.FitWidth);
    body.PutU16(setup.FitHeight);
    body.PutU16(setup.Options);
    body.PutU16(setup.HorizontalResolution);
    body.PutU16(setup.VerticalResolution);
    body.PutF64(setup.HeaderMargin);
    body.PutF64(setup.FooterMargin);
    body.PutU16(setup.Copies);
}

void PutWindow2(TByteSpan& body, uint16_t options, uint16_t topRow, uint16_t leftCol, uint16_t gridColor,
                uint16_t zoomPreview, uint16_t zoom) {
    body.PutU16(options);
    body.PutU16(topRow);
    body.PutU16(leftCol);
    body.PutU16(gridColor);
    body.PutU16(0);
    body.PutU16(zoomPreview);
    body.PutU16(zoom);
    body.PutU32(0);
}

void PutScl(TByteSpan& body, uint16_t numerator, uint16_t denominator) {
    body.PutU16(numerator);
    body.PutU16(denominator);
}

void PutPane(TByteSpan& body, uint16_t splitCols, uint16_t splitRows, uint16_t topRow, uint16_t leftCol,
             uint8_t activePane) {
    body.PutU16(splitCols);
    body.PutU16(splitRows);
    body.PutU16(topRow);
    body.PutU16(leftCol);
    body.PutU8(activePane);
    body.PutU8(0);
}

void PutSelection(TByteSpan& body, uint8_t pane, uint16_t activeRow, uint16_t activeCol, uint16_t activeArea,
                  const TSelectionArea* areas, size_t count) {
    body.PutU8(pane);
    body.PutU16(activeRow);
    body.PutU16(activeCol);
    body.PutU16(activeArea);
    body.PutU16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        body.PutU16(areas[i].Row1);
        body.PutU16(areas[i].Row2);
        body.PutU8(areas[i].Col1);
        body.PutU8(areas[i].Col2);
    }
}

void PutMergedCells(TByteSpan& body, const TMergedArea* areas, size_t count) {
    body.PutU16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        body.PutU16(areas[i].Row1);
        body.PutU16(areas[i].Row2);
        body.PutU16(areas[i].Col1);
        body.PutU16(areas[i].Col2);
    }
}

void PutSheetProtection(TByteSpan& body, uint16_t flags) {
    body.PutU16(ridSHEETPROTECTION);
    body.PutU16(0);
    body.PutFill(8);
    body.PutU16(0x0002);
    body.PutU8(0x01);
    body.PutU32(0xFFFFFFFF);
    body.PutU16(static_cast<uint16_t>(flags & 0x7FFF));
    body.PutU16(0);
}

}  // namespace quarvel
