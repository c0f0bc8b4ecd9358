#include "window/FormPresenter.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "platform/Errors.h"

namespace quarvel {

namespace {

// Unicode control pictures: U+2400 to U+241F for the C0 controls, U+2421 for DEL.
constexpr char16_t kControlPictures = 0x2400;
constexpr char16_t kDeletePicture = 0x2421;

bool SameAsciiCaseless(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = char16_t(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z') y = char16_t(y - u'A' + u'a');
        if (x != y) return false;
    }
    return true;
}

bool ParseInt(const std::string& text, long& value) {
    try {
        value = StrToInt(text);
        return true;
    } catch (const Error&) {
        return false;
    }
}

}  // namespace

const std::vector<WideString>& FieldDividerEntries() {
    static const std::vector<WideString> entries = {u"TAB", u";", u",", u"SPACE"};
    return entries;
}

const std::vector<WideString>& StringTerminatorEntries() {
    static const std::vector<WideString> entries = {u"NO", u"\"", u"'"};
    return entries;
}

const std::vector<WideString>& EncodingEntries() {
    static const std::vector<WideString> entries = {
        kEncodingAuto,  u"UTF-8",        u"UTF-16LE",     u"windows-1252", u"ISO-8859-15", u"windows-1250",
        u"ISO-8859-2",  u"windows-1251", u"KOI8-R",       u"KOI8-U",       u"windows-1253", u"windows-1254",
        u"windows-1255", u"windows-1256", u"windows-1257", u"windows-874", u"Shift_JIS",   u"EUC-JP",
        u"ISO-2022-JP", u"GB18030",      u"Big5",         u"EUC-KR",
    };
    return entries;
}

std::string_view SaveDialogFilter(std::string_view sourceFile) {
    size_t slash = sourceFile.rfind('/');
    std::string_view name = slash == std::string_view::npos ? sourceFile : sourceFile.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return kSaveFilterWorkbook;
    std::string extension(name.substr(dot, 4));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension == ".htm" ? kSaveFilterAll : kSaveFilterWorkbook;
}

std::string SpinStep(const std::string& value, int delta, int low, int high) {
    long number = 0;
    if (!ParseInt(value, number)) return std::to_string(low);
    if (delta < 0 && number > low) return std::to_string(number - 1);
    if (delta > 0 && number < high) return std::to_string(number + 1);
    return value;
}

bool AcceptsTypedCharacter(TTypedBox box, char16_t ch) {
    char16_t highest = box == TTypedBox::Levels ? char16_t(u'0' + kLevelsHigh) : u'9';
    return ch >= u'0' && ch <= highest;
}

WideString SeparatorBoxText(const WideString& setting) {
    if (setting.size() != 1) return setting;
    char16_t ch = setting[0];
    if (ch < 0x20) return WideString(1, char16_t(kControlPictures + ch));
    if (ch == 0x7F) return WideString(1, kDeletePicture);
    return setting;
}

WideString SeparatorFromBoxText(std::u16string_view text, const std::vector<WideString>& entries) {
    for (const WideString& entry : entries) {
        if (SameAsciiCaseless(text, entry)) return entry;
    }
    if (text.size() == 1) {
        char16_t ch = text[0];
        if (ch >= kControlPictures && ch < kControlPictures + 0x20) return WideString(1, char16_t(ch - kControlPictures));
        if (ch == kDeletePicture) return WideString(1, char16_t(0x7F));
    }
    return WideString(text);
}

int SeparatorEntryIndex(const WideString& setting, const std::vector<WideString>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == setting) return static_cast<int>(i);
    }
    return -1;
}

std::string ReadmeFile(const std::string& programFolder, const std::string& installedDocFolder,
                       const std::string& sourceFolder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> candidates;
    if (!programFolder.empty()) candidates.push_back(fs::path(programFolder) / installedDocFolder / "README.md");
    if (!sourceFolder.empty()) candidates.push_back(fs::path(sourceFolder) / "README.md");
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
    }
    return {};
}

std::string CompletedStatus(const TConversionReport& report) {
    std::string status(kStatusCompleted);
    std::string cuts;
    for (const std::string& warning : CutWarnings(report)) {
        if (!cuts.empty()) cuts += "; ";
        cuts += warning;
    }
    if (!cuts.empty()) status += " (" + cuts + ")";
    return status;
}

std::string FailedStatus(std::string_view message) {
    std::string status(kStatusFailed);
    if (!message.empty()) status.append(": ").append(message);
    return status;
}

TFormPresenter::TFormPresenter(TConverter& converter, TFormView& view, std::string programPath)
    : converter_(converter),
      view_(view),
      programPath_(std::move(programPath)),
      run_([](TConverter& c, const std::string& source, const std::string& target) {
          return c.RunConversion(source, target);
      }) {}

void TFormPresenter::Start(bool commandLineFailed) {
    SetStatus(std::string(kStatusEnterParameters));
    UpdateGo();
    // A command line that could not be read leaves the echo empty until the first change.
    if (commandLineFailed) {
        echo_.clear();
        view_.ShowEcho(echo_);
    } else {
        RebuildEcho();
    }
}

WideString TFormPresenter::Text(const std::string& settingBytes) const {
    return converter_.CodePage.Decode(settingBytes);
}

std::string TFormPresenter::Bytes(std::u16string_view text) const {
    return converter_.CodePage.Encode(text);
}

void TFormPresenter::SourceChanged(std::u16string_view text) {
    converter_.Settings.SourceFile = Bytes(text);
    UpdateGo();
    Changed();
}

void TFormPresenter::TargetChanged(std::u16string_view text) {
    converter_.Settings.TargetFile = Bytes(text);
    UpdateGo();
    Changed();
}

void TFormPresenter::NotCleanTagsChanged(bool checked) {
    converter_.Settings.NotCleanTags = checked;
    Changed();
}

void TFormPresenter::TablesOnlyChanged(bool checked) {
    converter_.Settings.TablesOnly = checked;
    Changed();
}

void TFormPresenter::EncodingChanged(std::u16string_view boxText) {
    std::string name = Bytes(boxText);
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    converter_.Settings.Encoding = lower == "auto" ? std::string() : name;
    Changed();
}

void TFormPresenter::GroupLevelsChanged(std::u16string_view text) {
    converter_.Settings.GroupLevels = Bytes(text);
    Changed();
}

void TFormPresenter::StartDataRowChanged(std::u16string_view text) {
    converter_.Settings.StartDataRow = Bytes(text);
    Changed();
}

void TFormPresenter::WrapWidthChanged(std::u16string_view text) {
    converter_.Settings.WrapWidth = Bytes(text);
    Changed();
}

void TFormPresenter::FieldDividerChanged(std::u16string_view boxText) {
    converter_.Settings.FieldDivider = SeparatorFromBoxText(boxText, FieldDividerEntries());
    Changed();
}

void TFormPresenter::StringTerminatorChanged(std::u16string_view boxText) {
    converter_.Settings.StringTerminator = SeparatorFromBoxText(boxText, StringTerminatorEntries());
    Changed();
}

void TFormPresenter::BorderColorChanged(uint32_t color) {
    converter_.Settings.BorderColor = color;
    Changed();
}

void TFormPresenter::HeaderTextChanged(std::u16string_view text) {
    converter_.Settings.HeaderText = Bytes(text);
    Changed();
}

bool TFormPresenter::GoEnabled() const {
    return !converter_.Settings.SourceFile.empty() && !converter_.Settings.TargetFile.empty();
}

void TFormPresenter::Go() {
    const TConversionSettings& settings = converter_.Settings;
    view_.SetPanelEnabled(false);
    view_.SetBusyCursor(true);
    SetStatus(std::string(kStatusInProcess));
    view_.Repaint();
    TConversionReport report;
    try {
        report = run_(converter_, settings.SourceFile, settings.TargetFile);
    } catch (const FileError& error) {
        return Failed(error.what(), error.Path());
    } catch (const std::bad_alloc&) {
        return Failed("Out of memory", "");
    } catch (const std::exception& error) {
        return Failed(error.what(), "");
    }
    view_.SetBusyCursor(false);
    SetStatus(CompletedStatus(report));
    view_.SetPanelEnabled(true);
}

void TFormPresenter::Failed(const std::string& message, const std::string& file) {
    // The box comes first, while the window still shows the run; then the window is usable again.
    view_.ShowError(message, file);
    view_.SetBusyCursor(false);
    view_.SetPanelEnabled(true);
    SetStatus(FailedStatus(message));
}

void TFormPresenter::Changed() {
    SetStatus(std::string(kStatusSelectParameters));
    RebuildEcho();
}

void TFormPresenter::UpdateGo() { view_.SetGoEnabled(GoEnabled()); }

void TFormPresenter::SetStatus(std::string status) {
    status_ = std::move(status);
    view_.ShowStatus(status_);
}

void TFormPresenter::RebuildEcho() {
    echo_ = BuildCommandLine(converter_.Settings, programPath_);
    view_.ShowEcho(echo_);
}

}  // namespace quarvel
