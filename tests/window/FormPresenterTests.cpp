// The main window's logic without widgets: spin steps, typed-character rules, the divider and
// terminator boxes, the save filter, the README the link opens, the status texts, and what each event
// and the Go button do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>

#include <unistd.h>

#include "platform/Errors.h"
#include "window/FormPresenter.h"

namespace quarvel {
namespace {

TEST(SpinStep, StepsWithinTheLimitsAndMendsNonNumbers) {
    struct TCase {
        const char* Value;
        int Delta, Low, High;
        const char* Expected;
    } cases[] = {
        {"0", +1, 0, 7, "1"},    {"6", +1, 0, 7, "7"},     {"7", +1, 0, 7, "7"},   {"7", -1, 0, 7, "6"},
        {"1", -1, 0, 7, "0"},    {"0", -1, 0, 7, "0"},     {"1", -1, 1, 99, "1"},  {"98", +1, 1, 99, "99"},
        {"99", +1, 1, 99, "99"}, {"99", -1, 1, 99, "98"},
        // Values only the command line can give: above the top a step up stays, a step down lowers.
        {"9", +1, 0, 7, "9"},    {"9", -1, 0, 7, "8"},     {"0", -1, 1, 99, "0"},  {"0", +1, 1, 99, "1"},
        {"250", -1, 1, 99, "249"},
        // Not a number: the box gets its lowest value, whichever way.
        {"abc", +1, 0, 7, "0"},  {"", -1, 1, 99, "1"},     {"2x", +1, 1, 99, "1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Value) + (c.Delta > 0 ? " up" : " down"));
        EXPECT_EQ(SpinStep(c.Value, c.Delta, c.Low, c.High), c.Expected);
    }
}

TEST(TypedCharacters, LevelsTakeZeroToSevenOtherBoxesAnyDigit) {
    const std::u16string levelsOnly = u"01234567";
    for (char16_t ch = 0; ch < 0x80; ++ch) {
        bool digit = ch >= u'0' && ch <= u'9';
        SCOPED_TRACE(int(ch));
        EXPECT_EQ(AcceptsTypedCharacter(TTypedBox::Levels, ch), levelsOnly.find(ch) != std::u16string::npos);
        EXPECT_EQ(AcceptsTypedCharacter(TTypedBox::StartData, ch), digit);
        EXPECT_EQ(AcceptsTypedCharacter(TTypedBox::WrapWidth, ch), digit);
    }
    for (TTypedBox box : {TTypedBox::Levels, TTypedBox::StartData, TTypedBox::WrapWidth}) {
        EXPECT_FALSE(AcceptsTypedCharacter(box, u'\b'));
        EXPECT_FALSE(AcceptsTypedCharacter(box, u'\x0660'));  // an Arabic-Indic zero is no digit here
    }
}

TEST(SeparatorBox, ShowsAndReadsBackEverySetting) {
    // setting, what the box shows, divider (true) or terminator list
    struct TCase {
        std::u16string Setting, Shown;
        bool Divider;
    } cases[] = {
        {u"TAB", u"TAB", true},    {u"SPACE", u"SPACE", true}, {u";", u";", true},   {u",", u",", true},
        {u"|", u"|", true},        {u"x", u"x", true},         {u"\t", u"\u2409", true},
        {std::u16string(1, u'\0'), u"\u2400", true},           {u"\x1f", u"\u241f", true},
        {u"\x7f", u"\u2421", true}, {u"\u00e9", u"\u00e9", true}, {u" ", u" ", true},
        {u"NO", u"NO", false},     {u"\"", u"\"", false},      {u"'", u"'", false},  {u"\r", u"\u240d", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Setting.begin(), c.Setting.end()));
        const auto& entries = c.Divider ? FieldDividerEntries() : StringTerminatorEntries();
        EXPECT_EQ(SeparatorBoxText(c.Setting), c.Shown);
        EXPECT_EQ(SeparatorFromBoxText(c.Shown, entries), c.Setting);
    }
    // Entries typed in another case stand for the entry; other texts are taken as they are.
    EXPECT_EQ(SeparatorFromBoxText(u"tab", FieldDividerEntries()), u"TAB");
    EXPECT_EQ(SeparatorFromBoxText(u"Space", FieldDividerEntries()), u"SPACE");
    EXPECT_EQ(SeparatorFromBoxText(u"no", StringTerminatorEntries()), u"NO");
    EXPECT_EQ(SeparatorFromBoxText(u"NO", FieldDividerEntries()), u"NO");  // not an entry of that list
    EXPECT_EQ(SeparatorFromBoxText(u"", FieldDividerEntries()), u"");
    EXPECT_EQ(SeparatorEntryIndex(u"SPACE", FieldDividerEntries()), 3);
    EXPECT_EQ(SeparatorEntryIndex(u"'", StringTerminatorEntries()), 2);
    EXPECT_EQ(SeparatorEntryIndex(u"|", FieldDividerEntries()), -1);
}

TEST(SaveDialogFilter, OffersTextTargetsForHtmlSourcesOnly) {
    struct TCase {
        const char* Source;
        bool All;
    } cases[] = {
        {"page.htm", true},      {"PAGE.HTML", true},    {"/home/ann/a.b/page.Htm", true}, {"page.htmx", true},
        {".htm", true},          {"page.ht", false},     {"page.csv", false},              {"page", false},
        {"", false},             {"page.html.txt", false}, {"site.htm/page", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Source);
        EXPECT_EQ(SaveDialogFilter(c.Source), c.All ? "Excel file|*.xls|Excel workbook|*.xlsx|CSV file|*.csv|Text file|*.txt"
                                                    : "Excel file|*.xls|Excel workbook|*.xlsx");
    }
}

// The link's README: the installed one beside the program's folder first, the source tree's next.
TEST(ReadmeFile, TakesTheInstalledReadmeThenTheSourceTreesThenNone) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("quarvel-readme-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "usr/bin");
    fs::create_directories(root / "usr/share/doc/quarvel");
    fs::create_directories(root / "src");
    fs::create_directories(root / "empty/bin");
    fs::create_directories(root / "dironly/share/doc/quarvel/README.md");  // a folder, not the file
    fs::create_directories(root / "dironly/bin");
    std::ofstream(root / "usr/share/doc/quarvel/README.md") << "installed\n";
    std::ofstream(root / "src/README.md") << "source\n";
    const std::string docs = "../share/doc/quarvel";
    struct TCase {
        std::string ProgramFolder, SourceFolder;
        std::string Expected;
    } cases[] = {
        {(root / "usr/bin/").string(), (root / "src").string(), (root / "usr/share/doc/quarvel/README.md").string()},
        {(root / "usr/bin").string(), "", (root / "usr/share/doc/quarvel/README.md").string()},
        {(root / "empty/bin/").string(), (root / "src").string(), (root / "src/README.md").string()},
        {(root / "dironly/bin/").string(), (root / "src").string(), (root / "src/README.md").string()},
        {"", (root / "src/").string(), (root / "src/README.md").string()},
        {(root / "empty/bin/").string(), (root / "empty").string(), ""},
        {"", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.ProgramFolder + " | " + c.SourceFolder);
        EXPECT_EQ(ReadmeFile(c.ProgramFolder, docs, c.SourceFolder), c.Expected);
    }
    fs::remove_all(root);
}

TEST(StatusTexts, SayWhatWasLeftOutOrWhyItFailed) {
    EXPECT_EQ(CompletedStatus({}), "Process is completed");
    EXPECT_EQ(CompletedStatus({12, 0, 0}), "Process is completed (12 rows and 0 columns beyond the sheet were left out)");
    EXPECT_EQ(CompletedStatus({0, 3, 0}), "Process is completed (0 rows and 3 columns beyond the sheet were left out)");
    EXPECT_EQ(CompletedStatus({0, 0, 2}), "Process is completed (2 texts were cut to 32767 characters)");
    EXPECT_EQ(CompletedStatus({1, 2, 3}),
              "Process is completed (1 row and 2 columns beyond the sheet were left out; 3 texts were cut to 32767 "
              "characters)");
    EXPECT_EQ(FailedStatus("File not found"), "Process failed: File not found");
    EXPECT_EQ(FailedStatus(""), "Process failed");
}

// Writes down every call of the presenter, in order.
class TRecordingView : public TFormView {
public:
    std::vector<std::string> Calls;
    bool GoEnabled = false;
    std::string Status, Echo;

    void SetGoEnabled(bool enabled) override {
        GoEnabled = enabled;
        Calls.push_back(enabled ? "go on" : "go off");
    }
    void SetPanelEnabled(bool enabled) override { Calls.push_back(enabled ? "panel on" : "panel off"); }
    void ShowStatus(const std::string& status) override {
        Status = status;
        Calls.push_back("status " + status);
    }
    void ShowEcho(const std::string& echo) override {
        Echo = echo;
        Calls.push_back("echo");
    }
    void SetBusyCursor(bool busy) override { Calls.push_back(busy ? "busy" : "idle"); }
    void Repaint() override { Calls.push_back("repaint"); }
    void ShowError(const std::string& message, const std::string& file) override {
        Calls.push_back("error " + message + " | " + file);
    }
};

const std::string kProgram = "/opt/q/quarvel";

struct TPresenterFixture : ::testing::Test {
    TConverter converter;
    TRecordingView view;
    TFormPresenter presenter{converter, view, kProgram};
};

using Presenter = TPresenterFixture;

TEST_F(Presenter, StartsWithEnterParametersAndTheEcho) {
    presenter.Start(false);
    EXPECT_EQ(view.Status, "Enter parameters");
    EXPECT_FALSE(view.GoEnabled);
    EXPECT_EQ(view.Echo, "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c gray");
    EXPECT_EQ(presenter.Echo(), view.Echo);
}

TEST_F(Presenter, AFailedCommandLineLeavesTheEchoEmptyUntilTheFirstChange) {
    converter.Settings.WrapWidth = "40";
    presenter.Start(true);
    EXPECT_EQ(view.Echo, "");
    EXPECT_EQ(view.Status, "Enter parameters");
    presenter.NotCleanTagsChanged(true);
    EXPECT_EQ(view.Echo, "/opt/q/quarvel  /n /l 0 /d 1 /w 40 /f 9 /c gray");
}

TEST_F(Presenter, GoIsEnabledExactlyWhenBothFilesAreNamed) {
    presenter.Start(false);
    struct TStep {
        std::u16string Source, Target;
        bool Enabled;
    } steps[] = {{u"in.htm", u"", false}, {u"in.htm", u"out.xls", true}, {u"", u"out.xls", false},
                 {u" ", u"out.xls", true}, {u"in.htm", u"", false}};
    for (const TStep& step : steps) {
        presenter.SourceChanged(step.Source);
        presenter.TargetChanged(step.Target);
        EXPECT_EQ(view.GoEnabled, step.Enabled);
        EXPECT_EQ(presenter.GoEnabled(), step.Enabled);
    }
}

TEST_F(Presenter, EveryChangeSaysSelectParametersAndRebuildsTheEcho) {
    presenter.Start(false);
    struct TCase {
        const char* Name;
        std::function<void(TFormPresenter&)> Change;
        const char* Echo;
    } cases[] = {
        {"source", [](TFormPresenter& p) { p.SourceChanged(u"in file.htm"); },
         "/opt/q/quarvel \"in file.htm\"  /l 0 /d 1 /w 32 /f 9 /c gray"},
        {"target", [](TFormPresenter& p) { p.TargetChanged(u"out.xls"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /l 0 /d 1 /w 32 /f 9 /c gray"},
        {"tags", [](TFormPresenter& p) { p.NotCleanTagsChanged(true); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 0 /d 1 /w 32 /f 9 /c gray"},
        {"levels", [](TFormPresenter& p) { p.GroupLevelsChanged(u"3"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 1 /w 32 /f 9 /c gray"},
        {"start", [](TFormPresenter& p) { p.StartDataRowChanged(u"12"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w 32 /f 9 /c gray"},
        {"wrap", [](TFormPresenter& p) { p.WrapWidthChanged(u""); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 9 /c gray"},
        {"divider entry", [](TFormPresenter& p) { p.FieldDividerChanged(u"space"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 32 /c gray"},
        {"divider picture", [](TFormPresenter& p) { p.FieldDividerChanged(u"\u2409"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 9 /c gray"},
        {"terminator", [](TFormPresenter& p) { p.StringTerminatorChanged(u"'"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 9 /s 39 /c gray"},
        {"colour", [](TFormPresenter& p) { p.BorderColorChanged(0xFFFF00); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 9 /s 39 /c cyan"},
        {"white", [](TFormPresenter& p) { p.BorderColorChanged(kColorWhite); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 9 /s 39"},
        {"header", [](TFormPresenter& p) { p.HeaderTextChanged(u"Sales 2024"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /l 3 /d 12 /w  /f 9 /s 39 /h \"Sales 2024\""},
        {"tables only", [](TFormPresenter& p) { p.TablesOnlyChanged(true); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /t /l 3 /d 12 /w  /f 9 /s 39 /h \"Sales 2024\""},
        {"encoding", [](TFormPresenter& p) { p.EncodingChanged(u"windows-1251"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /t /l 3 /d 12 /w  /f 9 /s 39 /e windows-1251 /h \"Sales 2024\""},
        {"encoding auto", [](TFormPresenter& p) { p.EncodingChanged(u"Auto"); },
         "/opt/q/quarvel \"in file.htm\" out.xls /n /t /l 3 /d 12 /w  /f 9 /s 39 /h \"Sales 2024\""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        view.ShowStatus("something else");
        c.Change(presenter);
        EXPECT_EQ(view.Status, "Select parameters");
        EXPECT_EQ(view.Echo, c.Echo);
    }
    // A tab typed as its control picture is the tab character, not the entry "TAB".
    EXPECT_EQ(presenter.Settings().FieldDivider, u"\t");
}

TEST_F(Presenter, TextsAreHeldInTheConvertersCodePage) {
    converter.CodePage = TCodePage::ForCodeset("ISO-8859-1");
    presenter.HeaderTextChanged(u"Caf\u00e9");
    presenter.SourceChanged(u"/tmp/\u00e9t\u00e9.htm");
    EXPECT_EQ(presenter.Settings().HeaderText, "Caf\xe9");
    EXPECT_EQ(presenter.Settings().SourceFile, "/tmp/\xe9t\xe9.htm");
    EXPECT_EQ(presenter.Text(presenter.Settings().SourceFile), u"/tmp/\u00e9t\u00e9.htm");
}

TEST_F(Presenter, GoRunsTheConversionBetweenDisablingAndEnablingThePanel) {
    presenter.Start(false);
    presenter.SourceChanged(u"in.htm");
    presenter.TargetChanged(u"out.xls");
    std::string ranSource, ranTarget;
    presenter.SetRunFunction([&](TConverter& c, const std::string& source, const std::string& target) {
        EXPECT_EQ(&c, &converter);
        ranSource = source;
        ranTarget = target;
        view.Calls.push_back("run");
        return TConversionReport{};
    });
    view.Calls.clear();
    presenter.Go();
    EXPECT_EQ(ranSource, "in.htm");
    EXPECT_EQ(ranTarget, "out.xls");
    EXPECT_EQ(view.Calls, (std::vector<std::string>{"panel off", "busy", "status There is a process...", "repaint",
                                                    "run", "idle", "status Process is completed", "panel on"}));
}

TEST_F(Presenter, GoReportsCellsLeftOut) {
    presenter.SetRunFunction([](TConverter&, const std::string&, const std::string&) {
        return TConversionReport{4464, 3, 1};
    });
    presenter.Go();
    EXPECT_EQ(view.Status,
              "Process is completed (4464 rows and 3 columns beyond the sheet were left out; 1 text was cut to 32767 "
              "characters)");
}

TEST_F(Presenter, AFailedGoShowsTheErrorThenRestoresTheWindow) {
    struct TCase {
        const char* Name;
        std::function<void()> Throw;
        const char* Error;
        const char* Status;
    } cases[] = {
        {"file", [] { throw FileError("/tmp/in.htm", "File not found", 2); }, "error File not found | /tmp/in.htm",
         "status Process failed: File not found"},
        {"conversion", [] { throw Error("'' is not a valid integer value"); },
         "error '' is not a valid integer value | ", "status Process failed: '' is not a valid integer value"},
        {"memory", [] { throw std::bad_alloc(); }, "error Out of memory | ", "status Process failed: Out of memory"},
        {"other", [] { throw std::length_error("vector too long"); }, "error vector too long | ",
         "status Process failed: vector too long"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        presenter.SetRunFunction([&](TConverter&, const std::string&, const std::string&) -> TConversionReport {
            c.Throw();
            return {};
        });
        view.Calls.clear();
        presenter.Go();
        EXPECT_EQ(view.Calls, (std::vector<std::string>{"panel off", "busy", "status There is a process...", "repaint",
                                                        c.Error, "idle", "panel on", c.Status}));
    }
}

TEST_F(Presenter, GoWithTheRealConverterReportsAMissingSource) {
    presenter.SourceChanged(u"/nonexistent/quarvel/in.htm");
    presenter.TargetChanged(u"/nonexistent/quarvel/out.txt");
    presenter.Go();
    ASSERT_GE(view.Calls.size(), 5u);
    EXPECT_EQ(view.Calls[view.Calls.size() - 4], "error File not found | /nonexistent/quarvel/in.htm");
    EXPECT_EQ(view.Status, "Process failed: File not found");
}

}  // namespace
}  // namespace quarvel
