#include "workbook/CellValues.h"

namespace quarvel {

TCellValues& TCellValuesList::Add() {
    items_.push_back(std::make_unique<TCellValues>(*this, strings_));
    return *items_.back();
}

TCellValues& TCellValuesList::Items(int i) const {
    if (i < 0 || i >= Count()) throw ListIndexError(i);
    return *items_[static_cast<size_t>(i)];
}

}  // namespace quarvel
