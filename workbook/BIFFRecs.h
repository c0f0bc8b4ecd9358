// Enumerations shared by the workbook model, the BIFF8 writer and the converter. The text type, the
// error type and the file versions come from the layers below (platform/, biff/) and are included
// here for everyone who uses the model.
#pragma once

#include <cstdint>

#include "biff/ExcelVersion.h"
#include "platform/Errors.h"
#include "platform/WideString.h"

namespace quarvel {

// Palette index: ordinal = index into the palette. 8 is black, 9 white, 64 automatic.
enum TExcelColor : uint8_t {
    xc0, xc1, xc2, xc3, xc4, xc5, xc6, xc7,
    xcBlack, xcWhite, xcRed, xcBrightGreen, xcBlue, xcYellow, xcPink, xcTurquoise,
    xcDarkRed, xcGreen, xcDarkBlue, xcBrownGreen, xcViolet, xcBlueGreen, xcGray25, xcGray50,
    xc24, xc25, xc26, xc27, xc28, xc29, xc30, xc31,
    xc32, xc33, xc34, xc35, xc36, xc37, xc38, xc39,
    xcSky, xcPaleTurquois, xcPaleGreen, xcLightYellow, xcPaleSky, xcRose, xcLilac, xcLightBrown,
    xcDarkSky, xcDarkTurquois, xcGrass, xcGold, xcLightOrange, xcOrange, xcDarkBlueGray, xcGray40,
    xcDarkGreenGray, xcEmerald, xcDarkGreen, xcOlive, xcBrown, xcCherry, xcIndigo, xcGray80,
    xcAutomatic
};

// BIFF8 line style codes 0..13.
enum TCellBorderStyle : uint8_t {
    cbsNone, cbsThin, cbsMedium, cbsDashed, cbsDotted, cbsThick, cbsDouble, cbsHair,
    cbsMediumDashed, cbsDashDot, cbsMediumDashDot, cbsDashDotDot, cbsMediumDashDotDot,
    cbsSlantedDashDot
};

// BIFF8 fill pattern codes 0..18.
enum TExcelFillPattern : uint8_t {
    efpNone, efpSolid, efpMediumGray, efpDarkGray, efpLightGray, efpDarkHorizontal,
    efpDarkVertical, efpDarkDown, efpDarkUp, efpDarkGrid, efpDarkTrellis, efpLightHorizontal,
    efpLightVertical, efpLightDown, efpLightUp, efpLightGrid, efpLightTrellis, efpGray125,
    efpGray0625
};

// Cell type codes; 2, 3 and 6..13 belong to cell kinds this system never creates.
enum TCellType : uint8_t { ctNone = 0, ctBlank = 1, ctFloat = 4, ctString = 5 };

// FormatOptions set {foWrapText, foShrinkToFit}, held as bits in one byte.
enum TFormatOption : uint8_t { foWrapText = 0x01, foShrinkToFit = 0x02 };
using TFormatOptions = uint8_t;

// Protection set {cpLocked, cpHidden}, held as bits in one byte.
enum TCellProtection : uint8_t { cpLocked = 0x01, cpHidden = 0x02 };
using TCellProtections = uint8_t;

}  // namespace quarvel
