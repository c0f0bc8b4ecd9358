// Where a write goes: the file named by Filename, appearing only when complete, or the caller's
// buffer, replaced only on success; what a failed write leaves behind (nothing).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/platform/PlatformSupport.h"
#include "tests/writer/WriterSupport.h"
#include "workbook/Cell.h"

namespace quarvel {
namespace {

using namespace writer_test;
using test::ReadByteVector;
using test::TTempDir;
using test::WriteBytes;

const Bytes kCompoundSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// A cell of a kind the writer refuses, to make a write fail half way through a sheet.
class TOddCell final : public TCell {
public:
    using TCell::TCell;
    TCellType CellType() const override { return static_cast<TCellType>(6); }
    std::unique_ptr<TCell> MakeCopy(TSST2&) const override { return nullptr; }
};

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeConverterWorkbook(workbook_);
        for (int i = 0; i < 2000; ++i) Sheet().SetAsFloat(i % 7, i / 7, i * 0.37);
        target_ = dir_.File("out.xls");
        Book().SetFilename(std::u16string(target_.begin(), target_.end()));
    }
    TXLSWorkbook& Book() { return *workbook_; }
    TSheet& Sheet() { return Book().Sheets().Items(0); }
    void BreakSheet() {
        Sheet().Cells().SetCell(3, 200, std::make_unique<TOddCell>(Book().Formats(), 3, 200, 15));
    }

    TTempDir dir_;
    std::unique_ptr<TXLSWorkbook> workbook_;
    std::string target_;
};

TEST_F(OutputTest, WriteCreatesTheFileWithTheSameBytesAsTheBuffer) {
    Book().Write(TBIFF8Writer());
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"out.xls"});
    const Bytes file = ReadByteVector(target_);
    ASSERT_GT(file.size(), 512u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), kCompoundSignature);
    Bytes buffer = {1, 2, 3};
    Book().WriteToStream(TBIFF8Writer(), &buffer);
    EXPECT_EQ(buffer, file);
}

TEST_F(OutputTest, WriteReplacesAnExistingFile) {
    WriteBytes(target_, Bytes(100000, 0x55));
    Book().Write(TBIFF8Writer());
    const Bytes file = ReadByteVector(target_);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), kCompoundSignature);
    EXPECT_LT(file.size(), 100000u);
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"out.xls"});
}

TEST_F(OutputTest, AFailedWriteLeavesNoFileAndAnExistingOneUntouched) {
    BreakSheet();
    EXPECT_THROW(Book().Write(TBIFF8Writer()), Error);
    EXPECT_TRUE(dir_.Entries().empty()) << "a partial or temporary file was left";

    const Bytes before(70000, 0x55);
    WriteBytes(target_, before);
    EXPECT_THROW_MSG(Book().Write(TBIFF8Writer()), Error,
                     "Error on writing record # 1404\rUnknown cell type 6 in cell 3:200");
    EXPECT_EQ(ReadByteVector(target_), before);
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"out.xls"});
    // The counts of a failed write are none.
    EXPECT_EQ(Book().RowsCut(), 0);
    EXPECT_EQ(Book().ColsCut(), 0);
}

TEST_F(OutputTest, FileErrorsNameTheFile) {
    Book().SetFilename(u"");
    EXPECT_THROW_MSG(Book().Write(TBIFF8Writer()), Error, "Filename is missing");
    const std::string missing = dir_.File("no such folder/out.xls");
    Book().SetFilename(std::u16string(missing.begin(), missing.end()));
    try {
        Book().Write(TBIFF8Writer());
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_NE(e.Path().find("no such folder"), std::string::npos) << e.Path();
    }
    if (::geteuid() != 0) {  // the superuser writes anywhere
        ::chmod(dir_.Path().c_str(), 0500);
        EXPECT_THROW_MSG(Book().Write(TBIFF8Writer()), FileError, "File access denied");
        ::chmod(dir_.Path().c_str(), 0700);
    }
    EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(OutputTest, ProgressReportsZeroFirstAndHundredOnlyAfterASuccessfulWrite) {
    std::vector<int32_t> reported;
    Book().SetOnProgress([&](TXLSWorkbook&, int32_t percent) { reported.push_back(percent); });
    Book().Write(TBIFF8Writer());
    ASSERT_GE(reported.size(), 3u);
    EXPECT_EQ(reported.front(), 0);
    EXPECT_EQ(reported.back(), 100);
    for (size_t i = 1; i < reported.size(); ++i) EXPECT_LE(reported[i - 1], reported[i]);

    reported.clear();
    BreakSheet();
    EXPECT_THROW(Book().Write(TBIFF8Writer()), Error);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.front(), 0);
    EXPECT_NE(reported.back(), 100);
}

}  // namespace
}  // namespace quarvel
