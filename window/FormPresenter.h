// The main window's logic without the widgets: what each event does to the settings, the status
// line, the Go button and the echoed command line, and the interactive run of a conversion. The
// window (window/Unit1) forwards its events here and shows what it is told to show; tests drive
// the same code through a recording view.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "converter/Converter.h"
#include "converter/Settings.h"
#include "workbook/BIFFRecs.h"

namespace quarvel {

// Texts of the status line.
inline constexpr std::string_view kStatusEnterParameters = "Enter parameters";
inline constexpr std::string_view kStatusSelectParameters = "Select parameters";
inline constexpr std::string_view kStatusInProcess = "There is a process...";
inline constexpr std::string_view kStatusCompleted = "Process is completed";
inline constexpr std::string_view kStatusFailed = "Process failed";

// Limits of the spin buttons.
inline constexpr int kLevelsLow = 0;
inline constexpr int kLevelsHigh = 7;
inline constexpr int kStartDataLow = 1;
inline constexpr int kStartDataHigh = 99;
// Characters the wrap box holds when typed into.
inline constexpr int kWrapWidthLength = 3;

// Entries of the two editable drop-down lists, in list order.
const std::vector<WideString>& FieldDividerEntries();      // "TAB", ";", ",", "SPACE"
const std::vector<WideString>& StringTerminatorEntries();  // "NO", double quote, apostrophe
// Entries of the encoding box: "auto" (the file's own mark or declaration, else the locale's),
// then the common encodings.
const std::vector<WideString>& EncodingEntries();
inline constexpr char16_t kEncodingAuto[] = u"auto";

// Dialog filters as name|pattern pairs joined by "|".
inline constexpr std::string_view kSourceDialogFilter = "CSV file|*.csv|Text file|*.txt|HTML file|*.htm*|Other file|*.*";
inline constexpr std::string_view kSaveFilterWorkbook = "Excel file|*.xls|Excel workbook|*.xlsx";
inline constexpr std::string_view kSaveFilterAll =
    "Excel file|*.xls|Excel workbook|*.xlsx|CSV file|*.csv|Text file|*.txt";

// The save dialog's filter for a source file: workbook (.xls and .xlsx), CSV and text targets for a
// source whose extension, ASCII lower-cased and cut to four characters, is ".htm"; the workbooks
// only otherwise.
std::string_view SaveDialogFilter(std::string_view sourceFile);

// One step of a spin button over a number held as text: down (delta < 0) lowers a value above
// `low` by one, up raises a value below `high` by one, anything else stays. A text that is not an
// integer (only the command line can put one there) steps to `low`, so the box can be mended.
std::string SpinStep(const std::string& value, int delta, int low, int high);

// The boxes with a typed-character rule.
enum class TTypedBox { Levels, StartData, WrapWidth };

// Whether a character typed into the box is taken: "0" to "7" for the levels, "0" to "9" for the
// start-data and wrap boxes. Every other character, Backspace included, is discarded.
bool AcceptsTypedCharacter(TTypedBox box, char16_t ch);

// What a divider or terminator box shows for a setting: the setting itself, except that a control
// character (which cannot be seen) shows as its Unicode control picture (tab as U+2409).
WideString SeparatorBoxText(const WideString& setting);

// The setting a divider or terminator box's text stands for: a list entry (ASCII case ignored)
// gives the entry as listed; a control picture gives its control character; any other text is
// taken as it stands.
WideString SeparatorFromBoxText(std::u16string_view text, const std::vector<WideString>& entries);

// Position of the setting in the list, -1 when it is none of the entries.
int SeparatorEntryIndex(const WideString& setting, const std::vector<WideString>& entries);

// The status after a conversion: "Process is completed", followed by what the workbook had to leave
// out, if anything.
std::string CompletedStatus(const TConversionReport& report);

// The status after a failed conversion: "Process failed: " and the error's message.
std::string FailedStatus(std::string_view message);

// The README the window's link opens: the installed one, <programFolder>/<installedDocFolder>/README.md
// (the documents' folder written relative to the program's), when it is there; else the one at the
// top of the source tree the program was built from, <sourceFolder>/README.md, when that is there
// (a program run from its build tree); else nothing (empty). The path is given in its normal form.
std::string ReadmeFile(const std::string& programFolder, const std::string& installedDocFolder,
                       const std::string& sourceFolder);

// What the window does for the presenter.
class TFormView {
public:
    virtual ~TFormView() = default;
    virtual void SetGoEnabled(bool enabled) = 0;
    virtual void SetPanelEnabled(bool enabled) = 0;  // every input and the Go button
    virtual void ShowStatus(const std::string& status) = 0;
    virtual void ShowEcho(const std::string& echo) = 0;  // the echo box and its tooltip
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void Repaint() = 0;  // paint now, before a long conversion blocks the window
    // The error box: the error's message, and the file it concerns when it names one.
    virtual void ShowError(const std::string& message, const std::string& file) = 0;
};

// The window's logic over the converter's settings. Texts arrive from the widgets as UTF-16 and are
// held in the settings in the converter's code page.
class TFormPresenter {
public:
    // Runs one conversion; the converter's own RunConversion unless a test gives another.
    using TRunFunction =
        std::function<TConversionReport(TConverter&, const std::string& source, const std::string& target)>;

    TFormPresenter(TConverter& converter, TFormView& view, std::string programPath);

    const TConversionSettings& Settings() const { return converter_.Settings; }
    TConverter& Converter() { return converter_; }
    void SetRunFunction(TRunFunction run) { run_ = std::move(run); }

    // The window was created with the settings of the command line: the initial state (status
    // "Enter parameters", Go enabled when both files are named) and, unless the command line could
    // not be read, the echo.
    void Start(bool commandLineFailed);

    // Texts of the settings as the widgets show them.
    WideString Text(const std::string& settingBytes) const;

    // Events of the inputs.
    void SourceChanged(std::u16string_view text);
    void TargetChanged(std::u16string_view text);
    void NotCleanTagsChanged(bool checked);
    void TablesOnlyChanged(bool checked);
    // "auto" (ASCII case ignored) or an empty box: no /e; anything else names the encoding.
    void EncodingChanged(std::u16string_view boxText);
    void GroupLevelsChanged(std::u16string_view text);
    void StartDataRowChanged(std::u16string_view text);
    void WrapWidthChanged(std::u16string_view text);
    void FieldDividerChanged(std::u16string_view boxText);
    void StringTerminatorChanged(std::u16string_view boxText);
    void BorderColorChanged(uint32_t color);
    void HeaderTextChanged(std::u16string_view text);

    // The save dialog's filter for the current source.
    std::string_view SaveFilter() const { return SaveDialogFilter(converter_.Settings.SourceFile); }
    bool GoEnabled() const;
    const std::string& Status() const { return status_; }
    const std::string& Echo() const { return echo_; }

    // The Go button: disable the panel, busy cursor, status "There is a process...", repaint,
    // convert, then restore the cursor, say how it went and enable the panel. A failure shows the
    // error box first and then restores the window the same way, the status saying it failed.
    void Go();

private:
    void Changed();  // status "Select parameters" and the echo rebuilt
    void UpdateGo();
    void SetStatus(std::string status);
    void RebuildEcho();
    std::string Bytes(std::u16string_view text) const;
    void Failed(const std::string& message, const std::string& file);

    TConverter& converter_;
    TFormView& view_;
    std::string programPath_;
    TRunFunction run_;
    std::string status_;
    std::string echo_;
};

}  // namespace quarvel
