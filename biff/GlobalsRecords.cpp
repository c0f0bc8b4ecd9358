#include "biff/GlobalsRecords.h"

#include <algorithm>

namespace quarvel {

void PutBOF(TByteSpan& body, uint16_t type, uint16_t build, uint16_t year, uint32_t history,
            uint32_t lowestVersion) {
    body.PutU16(0x0600);
    body.PutU16(type);
    body.PutU16(build);
    body.PutU16(year);
    body.PutU32(history);
    body.PutU32(lowestVersion);
}

void PutWriteAccess(TByteSpan& body, std::u16string_view name) {
    const size_t n = std::min(name.size(), WriteAccessMaxName);
    body.PutU16(static_cast<uint16_t>(n));
    body.PutU8(0);
    for (size_t i = 0; i < n; ++i) body.PutU8(static_cast<uint8_t>(name[i]));
    body.PutFill(WriteAccessMaxName - n, 0x20);
}

void PutTabId(TByteSpan& body, size_t sheets) {
    for (size_t i = 0; i < sheets; ++i) body.PutU16(static_cast<uint16_t>(i + 1));
}

void PutWindow1(TByteSpan& body, const TWindow1Fields& window) {
    body.PutU16(window.Left);
    body.PutU16(window.Top);
    body.PutU16(window.Width);
    body.PutU16(window.Height);
    body.PutU16(window.Options);
    body.PutU16(window.ActiveTab);
    body.PutU16(window.FirstTab);
    body.PutU16(window.SelectedTabs);
    body.PutU16(window.TabRatio);
}

void PutCountry(TByteSpan& body, uint16_t application, uint16_t system) {
    body.PutU16(application);
    body.PutU16(system);
}

void PutRecalcId(TByteSpan& body, uint32_t build) {
    body.PutU16(ridRECALCID);
    body.PutU16(0);
    body.PutU32(build);
}

void PutBoundsheet(TByteSpan& body, uint32_t bofPosition, uint8_t visibility, uint8_t type,
                   std::u16string_view name) {
    body.PutU32(bofPosition);
    body.PutU8(visibility);
    body.PutU8(type);
    body.PutU8(static_cast<uint8_t>(name.size()));
    body.PutU8(0x01);
    body.PutUtf16(name.data(), name.size());
}

void PutExtSST(TByteSpan& body, uint16_t bucketSize, const TExtSSTBucket* buckets, size_t count) {
    body.PutU16(bucketSize);
    for (size_t i = 0; i < count; ++i) {
        body.PutU32(buckets[i].Position);
        body.PutU16(buckets[i].Offset);
        body.PutU16(0);
    }
}

}  // namespace quarvel
