// The file versions a workbook can be written for.
#pragma once

#include <cstdint>

namespace quarvel {

// File versions, in increasing order.
enum TExcelVersion : uint8_t { xvExcel21, xvExcel30, xvExcel40, xvExcel50, xvExcel97, xvExcel2007 };

}  // namespace quarvel
