#include "converter/SheetBuilder.h"

#include "platform/Errors.h"

namespace quarvel {

TConversionReport BuildWorkbook(TConverter& converter, const std::string& /*targetFile*/) {
    CheckWorkbookSettings(converter.Settings);
    // The workbook model and its writer are not part of this build yet.
    throw Error("Workbook output is not available in this build; name a .txt or .csv target");
}

}  // namespace quarvel
