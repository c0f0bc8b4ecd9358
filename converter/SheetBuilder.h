// The workbook branch of a conversion: Lines, SpanList and LineColors to a workbook file.
#pragma once

#include "converter/Converter.h"

namespace quarvel {

// Writes the converter's lines as a workbook to the converter's target file. Checks the options it
// reads before anything is written.
TConversionReport BuildWorkbook(TConverter& converter, const std::string& targetFile);

}  // namespace quarvel
