// The main window's real widgets under the offscreen platform: initial state, Go enabling, status
// texts, the echo after every kind of change, spin limits, typed characters, the dialogs and their
// filters, the settings of the command line, Go runs that succeed and fail, the link label and the
// README it opens, the window's icon, and the program without a display.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "window/Unit1.h"

using namespace quarvel;

namespace {

const std::string kProgram = "/opt/q/quarvel";

// Stand-ins for the dialogs, the error box and the browser: they record what they were asked and
// never block.
struct TFakeServices {
    struct TDialogCall {
        QString Title, Filter, Suffix, Start;
    };
    struct TErrorCall {
        QString Message, File;
        // The window as the box found it.
        QString Status;
        bool InputsEnabled = true;
        bool GoEnabled = true;
        int Cursor = -1;  // shape of the application's cursor, -1 for none
    };
    std::vector<TDialogCall> OpenCalls, SaveCalls;
    QString OpenAnswer, SaveAnswer;
    std::vector<TErrorCall> Errors;
    std::vector<QUrl> Urls;

    TPlatformServices Make() {
        TPlatformServices services;
        services.OpenFile = [this](QWidget*, const QString& title, const QString& filter, const QString& suffix,
                                   const QString& start) {
            OpenCalls.push_back({title, filter, suffix, start});
            return OpenAnswer;
        };
        services.SaveFile = [this](QWidget*, const QString& title, const QString& filter, const QString& suffix,
                                   const QString& start) {
            SaveCalls.push_back({title, filter, suffix, start});
            return SaveAnswer;
        };
        services.ErrorBox = [this](QWidget* parent, const QString& message, const QString& file) {
            TErrorCall call{message, file, {}, true, true, -1};
            call.Status = parent->findChild<QLineEdit*>("statusEdit")->text();
            call.InputsEnabled = parent->findChild<QLineEdit*>("sourceEdit")->isEnabled();
            call.GoEnabled = parent->findChild<QPushButton*>("goButton")->isEnabled();
            if (QCursor* cursor = QApplication::overrideCursor()) call.Cursor = cursor->shape();
            Errors.push_back(call);
        };
        services.OpenUrl = [this](const QUrl& url) { Urls.push_back(url); };
        return services;
    }
};

template <class T>
T* Find(QWidget* form, const char* name) {
    T* widget = form->findChild<T*>(QLatin1String(name));
    if (!widget) qFatal("no widget %s", name);
    return widget;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    TFakeServices fakes_;
    std::unique_ptr<TMainForm> form_;

    TMainForm& Open(const TConversionSettings& settings = {}, const std::string& error = {}) {
        fakes_ = {};
        form_ = std::make_unique<TMainForm>(settings, kProgram, error, UsLocaleInfo(), TCodePage(), fakes_.Make());
        form_->show();
        return *form_;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(form_.get(), name); }
    QComboBox* Combo(const char* name) { return Find<QComboBox>(form_.get(), name); }
    QToolButton* Button(const char* name) { return Find<QToolButton>(form_.get(), name); }
    QPushButton* Go() { return Find<QPushButton>(form_.get(), "goButton"); }
    QString Status() { return Edit("statusEdit")->text(); }
    QString Echo() { return Edit("echoEdit")->text(); }
    void Click(QWidget* widget, int times = 1) {
        for (int i = 0; i < times; ++i) QTest::mouseClick(widget, Qt::LeftButton);
    }
    void Retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

private slots:
    void cleanup() { form_.reset(); }

    void initialState() {
        TMainForm& form = Open();
        QCOMPARE(form.windowTitle(), QStringLiteral("QUARVEL"));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.font().families().value(0), QStringLiteral("Tahoma"));

        QCOMPARE(Edit("sourceEdit")->text(), QString());
        QCOMPARE(Edit("targetEdit")->text(), QString());
        QVERIFY(!Find<QCheckBox>(&form, "notCleanTagsCheck")->isChecked());
        QCOMPARE(Find<QCheckBox>(&form, "notCleanTagsCheck")->text(), QStringLiteral("Not clean tags"));
        QCOMPARE(Edit("levelsEdit")->text(), QStringLiteral("0"));
        QCOMPARE(Edit("startDataEdit")->text(), QStringLiteral("1"));
        QVERIFY(Edit("levelsEdit")->isReadOnly());
        QVERIFY(Edit("startDataEdit")->isReadOnly());
        QCOMPARE(Edit("wrapEdit")->text(), QStringLiteral("32"));
        QCOMPARE(Combo("dividerCombo")->currentText(), QStringLiteral("TAB"));
        QCOMPARE(Combo("terminatorCombo")->currentText(), QStringLiteral("NO"));
        QVERIFY(Combo("terminatorCombo")->toolTip().contains(QLatin1String("CSV")));
        QCOMPARE(Edit("headerEdit")->text(), QString());
        QVERIFY(!Find<QCheckBox>(&form, "tablesOnlyCheck")->isChecked());
        QCOMPARE(Find<QCheckBox>(&form, "tablesOnlyCheck")->text(), QStringLiteral("Tables only"));
        QCOMPARE(Combo("encodingCombo")->currentText(), QStringLiteral("auto"));
        QVERIFY(Combo("encodingCombo")->isEditable());
        QCOMPARE(Combo("encodingCombo")->count(), int(EncodingEntries().size()));
        QCOMPARE(Combo("encodingCombo")->itemText(1), QStringLiteral("UTF-8"));

        QStringList dividers, terminators, colors;
        for (int i = 0; i < Combo("dividerCombo")->count(); ++i) dividers << Combo("dividerCombo")->itemText(i);
        for (int i = 0; i < Combo("terminatorCombo")->count(); ++i) terminators << Combo("terminatorCombo")->itemText(i);
        QComboBox* colorCombo = Combo("colorCombo");
        for (int i = 0; i < colorCombo->count(); ++i) {
            colors << colorCombo->itemText(i);
            QVERIFY(!colorCombo->itemIcon(i).isNull());
        }
        QCOMPARE(dividers, (QStringList{"TAB", ";", ",", "SPACE"}));
        QCOMPARE(terminators, (QStringList{"NO", "\"", "'"}));
        QCOMPARE(colors, (QStringList{"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray", "Silver",
                                      "Red", "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"}));
        QCOMPARE(colorCombo->currentText(), QStringLiteral("Gray"));

        QCOMPARE(Status(), QStringLiteral("Enter parameters"));
        QVERIFY(Edit("statusEdit")->isReadOnly());
        QVERIFY(!Go()->isEnabled());
        QCOMPARE(Go()->text(), QStringLiteral("Go"));
        QCOMPARE(Echo(), QStringLiteral("/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c gray"));
        QCOMPARE(Edit("echoEdit")->toolTip(), Echo());
        QVERIFY(Edit("echoEdit")->isReadOnly());

        // The labels of both panels.
        QStringList labels;
        for (QLabel* label : form.findChildren<QLabel*>()) labels << label->text();
        for (const char* text : {"Window mode", "Source file", "Target file", "Levels of group", "Start data",
                                 "Wrap more chars", "Field divider", "String terminator", "Border color", "Header",
                                 "Command line", "1 parameter", "2 parameter", "/N", "/L number", "/D number",
                                 "/W number", "/F code", "/S code", "/C name", "/H text", "/T", "/E name",
                                 "All parameters are unessential"}) {
            QVERIFY2(labels.contains(QLatin1String(text)), text);
        }
        QImage picture = form.grab().toImage();
        QCOMPARE(picture.size() / picture.devicePixelRatio(), form.size());
    }

    void goIsEnabledExactlyWhenBothFilesAreNamed() {
        Open();
        QLineEdit* source = Edit("sourceEdit");
        QLineEdit* target = Edit("targetEdit");
        QTest::keyClicks(source, "in.htm");
        QVERIFY(!Go()->isEnabled());
        QTest::keyClicks(target, "out.xls");
        QVERIFY(Go()->isEnabled());
        source->clear();
        QVERIFY(!Go()->isEnabled());
        QTest::keyClicks(source, "x");
        QVERIFY(Go()->isEnabled());
        target->selectAll();
        QTest::keyClick(target, Qt::Key_Delete);
        QCOMPARE(target->text(), QString());
        QVERIFY(!Go()->isEnabled());
    }

    void everyChangeSaysSelectParametersAndRebuildsTheEcho() {
        struct TCase {
            const char* Name;
            std::function<void()> Change;
            const char* Echo;
        };
        const std::vector<TCase> cases = {
            {"source typed", [&] { QTest::keyClicks(Edit("sourceEdit"), "in.htm"); },
             "/opt/q/quarvel in.htm  /l 0 /d 1 /w 32 /f 9 /c gray"},
            // Without a source the target is not echoed, but it still counts as a change.
            {"target typed", [&] { QTest::keyClicks(Edit("targetEdit"), "out.xls"); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c gray"},
            {"check box",
             [&] {
                 QCheckBox* check = Find<QCheckBox>(form_.get(), "notCleanTagsCheck");
                 QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));  // on the box
             },
             "/opt/q/quarvel  /n /l 0 /d 1 /w 32 /f 9 /c gray"},
            {"levels spin", [&] {
                 Click(Button("levelsUp"), 3);
                 Click(Button("levelsDown"));
             },
             "/opt/q/quarvel  /l 2 /d 1 /w 32 /f 9 /c gray"},
            {"start-data spin", [&] { Click(Button("startDataUp")); }, "/opt/q/quarvel  /l 0 /d 2 /w 32 /f 9 /c gray"},
            {"wrap typed", [&] { Retype(Edit("wrapEdit"), "40"); }, "/opt/q/quarvel  /l 0 /d 1 /w 40 /f 9 /c gray"},
            {"divider picked", [&] { Combo("dividerCombo")->setCurrentIndex(1); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 59 /c gray"},
            {"divider typed", [&] { Retype(Combo("dividerCombo")->lineEdit(), "|"); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 124 /c gray"},
            {"terminator picked", [&] { Combo("terminatorCombo")->setCurrentIndex(1); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /s 34 /c gray"},
            {"colour picked", [&] { Combo("colorCombo")->setCurrentIndex(13); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c magenta"},
            {"white picked", [&] { Combo("colorCombo")->setCurrentIndex(15); }, "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9"},
            {"header typed", [&] { QTest::keyClicks(Edit("headerEdit"), "Sales 2024"); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c gray /h \"Sales 2024\""},
            {"tables only",
             [&] {
                 QCheckBox* check = Find<QCheckBox>(form_.get(), "tablesOnlyCheck");
                 QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
             },
             "/opt/q/quarvel  /t /l 0 /d 1 /w 32 /f 9 /c gray"},
            {"encoding picked", [&] { Combo("encodingCombo")->setCurrentIndex(7); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c gray /e windows-1251"},
            {"encoding typed", [&] { Retype(Combo("encodingCombo")->lineEdit(), "CP437"); },
             "/opt/q/quarvel  /l 0 /d 1 /w 32 /f 9 /c gray /e CP437"},
        };
        for (const TCase& c : cases) {
            Open();
            c.Change();
            QVERIFY2(Status() == QLatin1String("Select parameters"), c.Name);
            QVERIFY2(Echo() == QLatin1String(c.Echo), qPrintable(QString(c.Name) + ": " + Echo()));
            QVERIFY2(Edit("echoEdit")->toolTip() == Echo(), c.Name);
        }
    }

    void spinButtonsStopAtTheirLimits() {
        Open();
        Click(Button("levelsUp"), 10);
        QCOMPARE(Edit("levelsEdit")->text(), QStringLiteral("7"));
        Click(Button("levelsDown"), 10);
        QCOMPARE(Edit("levelsEdit")->text(), QStringLiteral("0"));
        Click(Button("startDataUp"), 120);
        QCOMPARE(Edit("startDataEdit")->text(), QStringLiteral("99"));
        QVERIFY(Echo().contains(QLatin1String("/l 0 /d 99 ")));
        Click(Button("startDataDown"), 120);
        QCOMPARE(Edit("startDataEdit")->text(), QStringLiteral("1"));
        QCOMPARE(Form().Presenter().Settings().StartDataRow, std::string("1"));
    }

    void typedCharactersFollowEachBoxsRule() {
        Open();
        QLineEdit* wrap = Edit("wrapEdit");
        wrap->end(false);
        QTest::keyClicks(wrap, "a-");
        QCOMPARE(wrap->text(), QStringLiteral("32"));
        QTest::keyClick(wrap, Qt::Key_Backspace);
        QCOMPARE(wrap->text(), QStringLiteral("32"));
        QTest::keyClicks(wrap, "56");  // three characters at most
        QCOMPARE(wrap->text(), QStringLiteral("325"));
        QTest::keyClick(wrap, Qt::Key_Home);
        QTest::keyClick(wrap, Qt::Key_Delete);  // Delete is no typed character
        QCOMPARE(wrap->text(), QStringLiteral("25"));
        Retype(wrap, "x9y");
        QCOMPARE(wrap->text(), QStringLiteral("9"));
        // Pasting goes around the key filter; the box still takes digits only.
        QApplication::clipboard()->setText(QStringLiteral("12ab"));
        wrap->selectAll();
        wrap->paste();
        QCOMPARE(wrap->text(), QStringLiteral("9"));
        QApplication::clipboard()->setText(QStringLiteral("64"));
        wrap->selectAll();
        wrap->paste();
        QCOMPARE(wrap->text(), QStringLiteral("64"));
        QCOMPARE(Form().Presenter().Settings().WrapWidth, std::string("64"));

        // The levels and start-data boxes take nothing typed; only their spin buttons change them.
        for (const char* name : {"levelsEdit", "startDataEdit"}) {
            QLineEdit* box = Edit(name);
            QString before = box->text();
            box->selectAll();
            QTest::keyClicks(box, "5");
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), before);
        }
        QCOMPARE(Status(), QStringLiteral("Select parameters"));

        // The divider box takes an entry or one character.
        QLineEdit* divider = Combo("dividerCombo")->lineEdit();
        divider->end(false);
        QTest::keyClicks(divider, "X");
        QCOMPARE(divider->text(), QStringLiteral("TAB"));
        Retype(divider, "::");
        QCOMPARE(divider->text(), QStringLiteral(":"));
        QVERIFY(Echo().contains(QLatin1String("/f 58")));
    }

    void commandLineSettingsAppearInTheWindow() {
        TConversionSettings settings;
        QVERIFY(!ParseCommandLine({"/n", "/t", "in file.htm", "/w", "1000", "/l", "9", "/f", "124", "/s", "9", "/c",
                                   "navy", "/e", "koi8-r", "/h", "Sales 2024"},
                                  settings));
        Open(settings);
        QCOMPARE(Edit("sourceEdit")->text(), QStringLiteral("in file.htm"));
        QVERIFY(Find<QCheckBox>(form_.get(), "notCleanTagsCheck")->isChecked());
        QVERIFY(Find<QCheckBox>(form_.get(), "tablesOnlyCheck")->isChecked());
        QCOMPARE(Combo("encodingCombo")->currentText(), QStringLiteral("KOI8-R"));  // the list's entry
        QCOMPARE(Edit("wrapEdit")->text(), QStringLiteral("1000"));  // not cut to the three typed characters
        QCOMPARE(Edit("levelsEdit")->text(), QStringLiteral("9"));
        QCOMPARE(Combo("dividerCombo")->currentText(), QStringLiteral("|"));
        QCOMPARE(Combo("terminatorCombo")->currentText(), QString(QChar(0x2409)));  // the tab's control picture
        QCOMPARE(Combo("colorCombo")->currentText(), QStringLiteral("Navy"));
        QCOMPARE(Edit("headerEdit")->text(), QStringLiteral("Sales 2024"));
        QCOMPARE(Status(), QStringLiteral("Enter parameters"));
        const QString echo =
            QStringLiteral("/opt/q/quarvel \"in file.htm\"  /n /t /l 9 /d 1 /w 1000 /f 124 /s 9 /c navy /e koi8-r /h \"Sales 2024\"");
        QCOMPARE(Echo(), echo);
        // A change elsewhere reads the boxes back into the same settings.
        Click(Button("levelsDown"));
        QCOMPARE(Echo(), QString(echo).replace(QLatin1String("/l 9"), QLatin1String("/l 8")));
        QCOMPARE(Form().Presenter().Settings().StringTerminator, std::u16string(u"\t"));

        struct TCase {
            const char* Code;
            const char* Shown;
            int Index;
        } cases[] = {{"9", "TAB", 0}, {"59", ";", 1}, {"44", ",", 2}, {"32", "SPACE", 3}, {"1", "\u2401", 0}};
        for (const TCase& c : cases) {
            TConversionSettings more;
            ParseCommandLine({"/f", c.Code}, more);
            Open(more);
            QCOMPARE(Combo("dividerCombo")->currentText(), QString::fromUtf8(c.Shown));
            QCOMPARE(Combo("dividerCombo")->currentIndex(), c.Index);
            QVERIFY2(Echo().endsWith(QStringLiteral("/f %1 /c gray").arg(QLatin1String(c.Code))), qPrintable(Echo()));
        }
        TConversionSettings white;
        ParseCommandLine({"x", "/c", "orange"}, white);
        Open(white);
        QCOMPARE(Combo("colorCombo")->currentText(), QStringLiteral("White"));
        TConversionSettings black;
        ParseCommandLine({"x", "/c", "BLACK"}, black);
        Open(black);
        QCOMPARE(Combo("colorCombo")->currentText(), QStringLiteral("Black"));
        black.BorderColor = 0x123456;  // none of the list: no borders, shown as White
        Open(black);
        QCOMPARE(Combo("colorCombo")->currentText(), QStringLiteral("White"));
        QVERIFY(!Echo().contains(QLatin1String("/c")));
    }

    void aCommandLineThatCannotBeReadIsShownAndLeavesTheEchoEmpty() {
        TConversionSettings settings;
        settings.WrapWidth = "40";
        Open(settings, "'x' is not a valid integer value");
        QTRY_COMPARE(fakes_.Errors.size(), size_t(1));
        QCOMPARE(fakes_.Errors[0].Message, QStringLiteral("'x' is not a valid integer value"));
        QCOMPARE(Echo(), QString());
        QCOMPARE(Edit("wrapEdit")->text(), QStringLiteral("40"));
        Click(Button("levelsUp"));
        QCOMPARE(Echo(), QStringLiteral("/opt/q/quarvel  /l 1 /d 1 /w 40 /f 9 /c gray"));
    }

    void dialogsTakeTheirTitlesFiltersAndExtensions() {
        Open();
        fakes_.OpenAnswer = QStringLiteral("/data/in.csv");
        Click(Button("sourceButton"));
        QCOMPARE(fakes_.OpenCalls.size(), size_t(1));
        QCOMPARE(fakes_.OpenCalls[0].Title, QStringLiteral("Source file"));
        QCOMPARE(fakes_.OpenCalls[0].Filter,
                 QStringLiteral("CSV file (*.csv);;Text file (*.txt);;HTML file (*.htm*);;Other file (*)"));
        QCOMPARE(fakes_.OpenCalls[0].Suffix, QStringLiteral("csv"));
        QCOMPARE(Edit("sourceEdit")->text(), QStringLiteral("/data/in.csv"));
        fakes_.OpenAnswer.clear();  // cancelled
        Click(Button("sourceButton"));
        QCOMPARE(fakes_.OpenCalls[1].Start, QStringLiteral("/data/in.csv"));
        QCOMPARE(Edit("sourceEdit")->text(), QStringLiteral("/data/in.csv"));

        const QString workbookOnly = QStringLiteral("Excel file (*.xls);;Excel workbook (*.xlsx)");
        const QString all =
            QStringLiteral("Excel file (*.xls);;Excel workbook (*.xlsx);;CSV file (*.csv);;Text file (*.txt)");
        struct TCase {
            const char* Source;
            QString Filter;
        } cases[] = {{"", workbookOnly},          {"/data/page.HTML", all},      {"/data/page.htm", all},
                     {"/data/page.htmx", all},    {"/data/page.ht", workbookOnly}, {"/data/page.txt", workbookOnly},
                     {"/data/page.htm.csv", workbookOnly}};
        for (const TCase& c : cases) {
            Edit("sourceEdit")->setText(QLatin1String(c.Source));
            fakes_.SaveAnswer = QStringLiteral("/data/out.xls");
            Click(Button("targetButton"));
            const auto& call = fakes_.SaveCalls.back();
            QVERIFY2(call.Filter == c.Filter, c.Source);
            QCOMPARE(call.Title, QStringLiteral("Target file"));
            QCOMPARE(call.Suffix, QStringLiteral("xls"));
        }
        QCOMPARE(Edit("targetEdit")->text(), QStringLiteral("/data/out.xls"));
    }

    void goWritesATextTarget() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString source = dir.filePath("page.htm"), target = dir.filePath("out.txt");
        QVERIFY(WriteFile(source, "<table><tr><td>a</td><td>b</td></tr><tr><td>1</td><td>2</td></tr></table>"));
        Open();
        // What the window shows while the conversion runs.
        QString statusDuring;
        bool inputsDuring = true, goDuring = true;
        int cursorDuring = -1;
        form_->Presenter().SetRunFunction([&](TConverter& c, const std::string& from, const std::string& to) {
            statusDuring = Status();
            inputsDuring = Edit("headerEdit")->isEnabled() || Button("levelsUp")->isEnabled();
            goDuring = Go()->isEnabled();
            if (QCursor* cursor = QApplication::overrideCursor()) cursorDuring = cursor->shape();
            return c.RunConversion(from, to);
        });
        QTest::keyClicks(Edit("sourceEdit"), source);
        QTest::keyClicks(Edit("targetEdit"), target);
        Combo("dividerCombo")->setCurrentIndex(1);
        Click(Go());
        QCOMPARE(statusDuring, QStringLiteral("There is a process..."));
        QVERIFY(!inputsDuring);
        QVERIFY(!goDuring);
        QCOMPARE(cursorDuring, int(Qt::WaitCursor));
        QVERIFY(fakes_.Errors.empty());
        QCOMPARE(ReadFile(target), QByteArray("a;b\r\n1;2\r\n"));
        QCOMPARE(Status(), QStringLiteral("Process is completed"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(Go()->isEnabled());
        QVERIFY(Edit("headerEdit")->isEnabled());
    }

    // Needs the workbook writer: until it is in the build, the converter refuses workbook targets
    // and this test is skipped.
    void goWritesAWorkbookFromAFreshStart() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString first = dir.filePath("first.htm"), second = dir.filePath("second.htm");
        QVERIFY(WriteFile(first, "<table><tr><td>first_only_text</td><td>12.5</td></tr>"
                                 "<tr><td>more_first_text</td><td>7</td></tr></table>"));
        QVERIFY(WriteFile(second, "<table><tr><td>second_text</td><td>3</td></tr></table>"));
        Open();
        Edit("sourceEdit")->setText(first);
        Edit("targetEdit")->setText(dir.filePath("first.xls"));
        Click(Go());
        QVERIFY2(fakes_.Errors.empty(), qPrintable(fakes_.Errors.empty() ? QString() : fakes_.Errors[0].Message));
        QCOMPARE(Status(), QStringLiteral("Process is completed"));
        // Every conversion starts from a fresh workbook: nothing of the first reaches the second.
        Edit("sourceEdit")->setText(second);
        Edit("targetEdit")->setText(dir.filePath("second.xls"));
        Click(Go());
        QVERIFY(fakes_.Errors.empty());
        QCOMPARE(Status(), QStringLiteral("Process is completed"));

        const QByteArray signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
        QVERIFY(ReadFile(dir.filePath("first.xls")).startsWith(signature));
        QVERIFY(!ReadFile(dir.filePath("second.xls")).contains("first_text"));
        // An independent reader sees the cells.
        auto cells = [](const QString& path) {
            QProcess python;
            python.start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral("-c"),
                          QStringLiteral("import sys, xlrd\n"
                                         "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                         "for r in range(s.nrows):\n"
                                         "    print('|'.join(str(s.cell_value(r, c)) for c in range(s.ncols)))\n"),
                          path});
            python.waitForFinished(60000);
            return QString::fromUtf8(python.readAllStandardOutput()) + QString::fromUtf8(python.readAllStandardError());
        };
        QCOMPARE(cells(dir.filePath("first.xls")), QStringLiteral("first_only_text|12.5\nmore_first_text|7.0\n"));
        QCOMPARE(cells(dir.filePath("second.xls")), QStringLiteral("second_text|3.0\n"));
    }

    void aFailedGoLeavesTheWindowUsable() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString good = dir.filePath("good.htm"), target = dir.filePath("out.txt");
        QVERIFY(WriteFile(good, "<p>fine</p>"));
        struct TCase {
            QString Source;
            QString Message;  // empty: any message
        } cases[] = {{dir.filePath("missing.htm"), QStringLiteral("File not found")}, {dir.path(), QString()}};
        for (const TCase& c : cases) {
            Open();
            Edit("sourceEdit")->setText(c.Source);
            Edit("targetEdit")->setText(target);
            Click(Go());
            QCOMPARE(fakes_.Errors.size(), size_t(1));
            const auto& error = fakes_.Errors[0];
            if (!c.Message.isEmpty()) QCOMPARE(error.Message, c.Message);
            QVERIFY(!error.Message.isEmpty());
            QCOMPARE(error.File, c.Source);
            // The box comes while the run is still on screen ...
            QCOMPARE(error.Status, QStringLiteral("There is a process..."));
            QVERIFY(!error.InputsEnabled);
            QVERIFY(!error.GoEnabled);
            QCOMPARE(error.Cursor, int(Qt::ArrowCursor));
            // ... and afterwards the window is usable again.
            QCOMPARE(Status(), QStringLiteral("Process failed: ") + error.Message);
            QVERIFY(QApplication::overrideCursor() == nullptr);
            QVERIFY(Edit("sourceEdit")->isEnabled());
            QVERIFY(Go()->isEnabled());
            QVERIFY(!QFile::exists(target));

            Edit("sourceEdit")->setText(good);
            Click(Go());
            QCOMPARE(fakes_.Errors.size(), size_t(1));
            QCOMPARE(Status(), QStringLiteral("Process is completed"));
            QCOMPARE(ReadFile(target), QByteArray("fine\r\n"));
            QFile::remove(target);
        }
    }

    void cellsLeftOutAreReportedInTheStatusLine() {
        Open();
        Edit("sourceEdit")->setText(QStringLiteral("in.htm"));
        Edit("targetEdit")->setText(QStringLiteral("out.xls"));
        form_->Presenter().SetRunFunction(
            [](TConverter&, const std::string&, const std::string&) { return TConversionReport{70000 - 65536, 4, 0}; });
        Click(Go());
        QCOMPARE(Status(),
                 QStringLiteral("Process is completed (4464 rows and 4 columns beyond the sheet were left out)"));
        QCOMPARE(Edit("statusEdit")->toolTip(), Status());
    }

    // Run from the build tree (no installed README beside the test program), the link opens the
    // source tree's README as a file URL and its tooltip names that file.
    void theLinkLabelOpensTheReadme() {
        Open();
        QLabel* link = Find<QLabel>(form_.get(), "linkLabel");
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(link->isEnabled());
        Click(link);
        QCOMPARE(fakes_.Urls.size(), size_t(1));
        const QUrl url = fakes_.Urls[0];
        QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
        const QFileInfo readme(url.toLocalFile());
        QVERIFY2(readme.isFile(), qPrintable(url.toString()));
        QCOMPARE(readme.fileName(), QStringLiteral("README.md"));
        QCOMPARE(readme.canonicalFilePath(), QFileInfo(QStringLiteral(QUARVEL_SOURCE_DIR "/README.md")).canonicalFilePath());
        QVERIFY(ReadFile(readme.filePath()).startsWith("# QUARVEL"));
        QCOMPARE(QString::fromStdString(form_->Readme()), readme.filePath());
        QVERIFY(link->toolTip().contains(readme.filePath()));
    }

    // The window carries its own icon, drawn from the SVG resource; the drawing needs the toolkit's
    // SVG plugin (libqt6svg6).
    void theWindowHasItsOwnIcon() {
        QFile resource{QLatin1String(kWindowIconResource)};
        QVERIFY2(resource.open(QIODevice::ReadOnly), "the icon is not built into the window");
        QVERIFY(resource.readAll().contains("<svg"));
        if (!QImageReader::supportedImageFormats().contains("svg")) QSKIP("no SVG image plugin (libqt6svg6) installed");
        Open();
        const QIcon icon = form_->windowIcon();
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(QSize(48, 48)).toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(48, 48));
        // Drawn, not blank: the sheet's green heading row is there.
        QColor heading = image.pixelColor(24, 8);
        QVERIFY2(heading.green() > heading.red() && heading.green() > heading.blue(), qPrintable(heading.name()));
    }

    void withoutADisplayTheProgramPrintsTheUsageAndExits2() {
        struct TCase {
            QStringList Args;
            QString Display;  // empty: none
            QString FirstLine, LastLine;
        } cases[] = {
            {{}, {}, {}, QStringLiteral("quarvel: no source and target file given, and no display is available for the window")},
            {{QStringLiteral("/w"), QStringLiteral("40")}, QStringLiteral(":97"), {},
             QStringLiteral("quarvel: no source and target file given, and the window cannot be opened: could not "
                            "connect to display :97")},
            {{QStringLiteral("/f"), QStringLiteral("x"), QStringLiteral("in.htm")}, {},
             QStringLiteral("quarvel: 'x' is not a valid integer value"),
             QStringLiteral("quarvel: no source and target file given, and no display is available for the window")},
        };
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X97"))) QSKIP("a display :97 exists on this machine");
        for (const TCase& c : cases) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
            if (!c.Display.isEmpty()) environment.insert(QStringLiteral("DISPLAY"), c.Display);
            QProcess program;
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(QUARVEL_BINARY), c.Args);
            QVERIFY(program.waitForFinished(60000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 2);
            QCOMPARE(program.readAllStandardOutput(), QByteArray());
            QStringList lines = QString::fromUtf8(program.readAllStandardError()).split(QLatin1Char('\n'));
            QCOMPARE(lines.takeLast(), QString());  // the last line ends with a line break
            QVERIFY(lines.size() > 2);
            if (!c.FirstLine.isEmpty()) QCOMPARE(lines.front(), c.FirstLine);
            QCOMPARE(lines.last(), c.LastLine);
            QVERIFY(lines.contains(QStringLiteral("Exit status: 0 target written, 1 conversion failed, 2 bad command line.")));
        }
    }

    void batchModeNeverStartsTheToolkit() {
        // A platform the toolkit cannot load would end any start of it; batch mode does not care.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(WriteFile(dir.filePath("in.htm"), "<p>batch</p>"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUARVEL_BINARY), {dir.filePath("in.htm"), dir.filePath("out.txt")});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(ReadFile(dir.filePath("out.txt")), QByteArray("batch\r\n"));
    }

    void aProgramWithoutItsWindowModuleStillConvertsAndSaysWhyNoWindowOpens() {
        // The program alone, without the module beside it or in a library folder.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString program = dir.filePath(QStringLiteral("quarvel"));
        QVERIFY(QFile::copy(QStringLiteral(QUARVEL_BINARY), program));
        QVERIFY(WriteFile(dir.filePath("in.htm"), "<p>alone</p>"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QProcess batch;
        batch.setProcessEnvironment(environment);
        batch.start(program, {dir.filePath("in.htm"), dir.filePath("out.txt")});
        QVERIFY(batch.waitForFinished(60000));
        QCOMPARE(batch.exitCode(), 0);
        QCOMPARE(ReadFile(dir.filePath("out.txt")), QByteArray("alone\r\n"));

        QProcess window;
        window.setProcessEnvironment(environment);
        window.start(program, QStringList());
        QVERIFY(window.waitForFinished(60000));
        QCOMPARE(window.exitCode(), 2);
        QStringList lines = QString::fromUtf8(window.readAllStandardError()).split(QLatin1Char('\n'));
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.last(), QStringLiteral("quarvel: no source and target file given, and the window cannot be opened: "
                                              "the window module quarvel-window.so was not found"));
    }

private:
    TMainForm& Form() { return *form_; }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTests.moc"
