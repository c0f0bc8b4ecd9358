// Sheet limits shared by every workbook of the process.
#pragma once

#include <cstdint>

namespace quarvel {

// Highest column and row index of a sheet; set by the workbook's Version
// (255 / 65535 for BIFF8 and older, 16383 / 1048575 for the 2007 format).
inline int32_t MaxCol = 255;
inline int32_t MaxRow = 65535;

}  // namespace quarvel
