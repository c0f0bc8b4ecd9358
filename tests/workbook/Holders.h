// Formatted objects for the tests: one that gives its format back as a cell does, and a row-like
// one that records its notifications.
#pragma once

#include <cstdint>
#include <vector>

#include "workbook/FormattedObj.h"

namespace quarvel::test {

// A formatted object that gives its format back when destroyed, as a cell does.
class Holder : public TFormattedObject {
public:
    explicit Holder(TCellFormats& formats, uint16_t position = TCellFormats::DefaultCellFormat)
        : TFormattedObject(formats, position) {}
    ~Holder() override { ReleaseFormat(); }
};

// A row-like object that records its notifications.
class NotifyHolder : public TFormattedObjectNotify {
public:
    struct Change {
        TCellFormat* format;
        int32_t index;
    };

    NotifyHolder(TCellFormats& formats, int32_t number)
        : TFormattedObjectNotify(formats, TCellFormats::DefaultCellFormat), number_(number) {
        SetOnFormatChange([this](TFormattedObjectNotify& sender, TCellFormat& format,
                                 int32_t index) {
            if (&sender == this) changes.push_back({&format, index});
        });
    }
    int32_t GetIndex() const override { return number_; }
    void Changed() override { ++changedCalls; }

    std::vector<Change> changes;
    int changedCalls = 0;

private:
    int32_t number_;
};

}  // namespace quarvel::test
