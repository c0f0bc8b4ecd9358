// The seam between the model and the file writers above it. The workbook's Write readies the model
// and hands it to a writer of one file format (writer/XLSWriter.h holds the BIFF8 one); the model
// knows this interface only, never a writer, so that the writers may build on all of the model.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvel {

class TXLSWorkbook;

class TWorkbookWriter {
public:
    virtual ~TWorkbookWriter() = default;
    // Writes the readied workbook: to its Filename when stream is null, else into *stream, whose
    // contents are replaced only by a complete output. Raises on any failure, leaving no partial
    // output. On success the writer gives the workbook the counts of the cells it left out
    // (SetCutCounts).
    virtual void WriteWorkbook(TXLSWorkbook& workbook, std::vector<uint8_t>* stream) const = 0;
};

}  // namespace quarvel
