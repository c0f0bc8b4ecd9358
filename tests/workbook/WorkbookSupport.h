// Helpers of the workbook model tests: error texts, and formatted objects that behave as cells and
// rows do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "tests/biff/BiffSupport.h"
#include "workbook/FormattedObj.h"

namespace quarvel::test {

// The message of the error that `action` throws, or "(no error)".
inline std::string ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

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
