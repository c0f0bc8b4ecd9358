#include "workbook/Cell.h"

#include "biff/SST.h"

namespace quarvel {

void TCell::AddFormatReference() const {
    TCellFormat& format = Format();
    format.SetRefCount(format.RefCount() + 1);
}

// Each copy is built first and then given its references, so a failed allocation takes none.

std::unique_ptr<TCell> TBlankCell::MakeCopy(TSST2&) const {
    auto copy = std::make_unique<TBlankCell>(Formats(), Col(), Row(), static_cast<uint16_t>(FormatIndex()));
    AddFormatReference();
    return copy;
}

std::unique_ptr<TCell> TFloatCell::MakeCopy(TSST2&) const {
    auto copy =
        std::make_unique<TFloatCell>(Formats(), Col(), Row(), value_, static_cast<uint16_t>(FormatIndex()));
    AddFormatReference();
    return copy;
}

std::unique_ptr<TCell> TStringCell::MakeCopy(TSST2& strings) const {
    auto copy =
        std::make_unique<TStringCell>(Formats(), Col(), Row(), entry_, static_cast<uint16_t>(FormatIndex()));
    AddFormatReference();
    strings.AddRef(entry_);
    return copy;
}

}  // namespace quarvel
