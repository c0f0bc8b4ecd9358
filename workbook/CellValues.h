// The cell stores of a workbook: one TCellValues per sheet, all owned by the workbook's
// TCellValuesList, which hands each of them the workbook's shared string table.
#pragma once

#include <memory>
#include <vector>

#include "workbook/CellStorage.h"

namespace quarvel {

class TCellValuesList;

// The cell store of one sheet. It is owned by its list, not by the sheet, and lives as long as
// the workbook.
class TCellValues : public TCellStorage {
public:
    TCellValues(TCellValuesList& list, TSST2* strings) : TCellStorage(strings), list_(list) {}

    TCellValuesList& List() const { return list_; }

private:
    TCellValuesList& list_;
};

class TCellValuesList {
public:
    // strings: the workbook's shared string table (not owned).
    explicit TCellValuesList(TSST2* strings) : strings_(strings) {}
    TCellValuesList(const TCellValuesList&) = delete;
    TCellValuesList& operator=(const TCellValuesList&) = delete;

    TSST2* Strings() const { return strings_; }
    // A new, empty store appended to the list.
    TCellValues& Add();
    int Count() const { return static_cast<int>(items_.size()); }
    // The store at position i; outside the list a list index error.
    TCellValues& Items(int i) const;
    // Frees every store with its cells.
    void Clear() { items_.clear(); }

private:
    TSST2* strings_;
    std::vector<std::unique_ptr<TCellValues>> items_;
};

}  // namespace quarvel
