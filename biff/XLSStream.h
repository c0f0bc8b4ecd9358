// The record stream: the only path from the BIFF writer to the output. It writes records (a 16-bit
// id, a 16-bit body length, the body, all little-endian) into the "Workbook" stream of a new compound
// file, reports and moves the stream position so that earlier bytes can be patched, can split a
// body into CONTINUE records on the fly, and finally commits or abandons the output.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "biff/ExcelVersion.h"
#include "biff/RecordSink.h"
#include "platform/WideString.h"

namespace quarvel {

class TCompoundFileWriter;

class TXLSStream : public TRecordSink {
public:
    // Largest record body of BIFF8; WriteSplitRecord and the armed splitting of callers use it.
    static constexpr int32_t MaxRecordBody = quarvel::MaxRecordBody;
    static constexpr uint16_t ContinueId = 0x003C;
    // Seek origins.
    static constexpr int soFromBeginning = 0;
    static constexpr int soFromCurrent = 1;
    static constexpr int soFromEnd = 2;

    TXLSStream();
    ~TXLSStream() override;  // abandons an output that was neither closed nor aborted
    TXLSStream(const TXLSStream&) = delete;
    TXLSStream& operator=(const TXLSStream&) = delete;

    // The caller's memory target (not owned). When set before OpenWrite, the compound file is built
    // in memory and Close replaces the vector's contents with it; no file is created.
    void SetOutputStream(std::vector<uint8_t>* out) { outputStream_ = out; }
    std::vector<uint8_t>* OutputStream() const { return outputStream_; }

    // Abandons anything still open, then opens a new output for `version`: a compound file with the
    // stream "Workbook" (BIFF8 and later) or "Book" (BIFF5); older versions get a plain file without
    // container. Without an OutputStream the file `fileName` is written (atomically, see Close);
    // an empty name raises "Filename is missing" before anything is created.
    void OpenWrite(const WideString& fileName, TExcelVersion version);
    // Raw mode: only the bytes of the workbook stream, without any container, go into `out` when
    // Close commits. `out` must outlive the open stream.
    void OpenWriteRaw(std::vector<uint8_t>& out);
    // Finishes the output: completes the container and renames the temporary file over the target
    // (or fills the caller's vector). On failure the output is abandoned and the error propagates.
    // Does nothing when nothing is open.
    void Close();
    // Abandons the output: no file appears, an existing target and the caller's vector stay as they
    // were. Never throws; does nothing when nothing is open.
    void Abort() noexcept;
    bool IsOpen() const { return writer_ != nullptr; }
    TExcelVersion FileVersion() const { return fileVersion_; }

    // The 4 header bytes, written directly; never counted by armed splitting.
    void WriteHeader(uint16_t id, uint16_t length);
    // Body bytes. Disarmed: written directly, returns `count`. Armed (BeginContinue): the bytes that
    // do not fit into the current record go into CONTINUE records; returns 0.
    int32_t Write(const void* buffer, int32_t count);
    // Writes to the stream at the current position; returns `count`.
    int32_t WriteDirect(const void* buffer, int32_t count);
    // One whole record: header with `length`, then the body, uncounted.
    void WriteRecord(uint16_t id, const void* body, uint16_t length) override;
    // Whole records from the record writer: one write each.
    void WriteRecordBytes(const uint8_t* record, size_t size) final;
    void WriteWordRecord(uint16_t id, uint16_t value);
    void WriteByte(uint8_t value);
    void WriteWord(uint16_t value);
    void WriteDWord(uint32_t value);

    // Moves the position by `offset` from the origin (soFromBeginning, soFromCurrent, soFromEnd) and
    // returns the new position. Positions are byte offsets from the start of the workbook stream.
    int32_t Seek(int32_t offset, int origin);
    int32_t Pos();

    // Arms splitting for the record whose header is written next: its body, written with Write, is
    // continued in CONTINUE records once it passes `maxSize` bytes. EndContinue patches the length of
    // the last record written and disarms.
    void BeginContinue(int32_t maxSize);
    void EndContinue();
    // One record of any length: the first MaxRecordBody bytes, then CONTINUE records of at most
    // MaxRecordBody bytes each.
    void WriteSplitRecord(uint16_t id, const void* buffer, int32_t length);

    // Armed-splitting state, exposed for inspection.
    int32_t ContinueMax() const { return continueMax_; }
    int32_t ContinueWritten() const { return continueWritten_; }
    int32_t ContinuePos() const { return continuePos_; }

    // Size of the write buffer used by outputs opened afterwards (tests use small ones to exercise
    // patching behind the buffer).
    void SetBufferSize(size_t bytes) { bufferSize_ = bytes; }
    // Whether Close syncs a file to the disk (the file before it is renamed over the target, the
    // folder after); on by default, and then the process-wide switch (QUARVEL_NO_SYNC) decides.
    // Applies to outputs opened afterwards.
    void SetSyncOnCommit(bool sync) { syncOnCommit_ = sync; }
    bool SyncOnCommit() const { return syncOnCommit_; }

private:
    TCompoundFileWriter& Writer();
    void PatchWord(int32_t position, uint16_t value);

    std::vector<uint8_t>* outputStream_ = nullptr;
    std::unique_ptr<TCompoundFileWriter> writer_;
    TExcelVersion fileVersion_ = xvExcel97;
    int32_t continueMax_ = -1;
    int32_t continueWritten_ = 0;
    int32_t continuePos_ = -1;
    size_t bufferSize_;
    bool syncOnCommit_ = true;
};

}  // namespace quarvel
