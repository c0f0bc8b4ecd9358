#include "window/Unit1.h"

#include <iostream>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QUrl>
#include <QToolButton>
#include <QValidator>
#include <QVBoxLayout>

#include "platform/Files.h"

#ifndef QUARVEL_DOCS_FROM_PROGRAM
#define QUARVEL_DOCS_FROM_PROGRAM "../share/doc/quarvel"
#endif
#ifndef QUARVEL_SOURCE_TREE
#define QUARVEL_SOURCE_TREE ""
#endif

namespace quarvel {

namespace {

QString ToQString(const WideString& text) { return QString::fromStdU16String(text); }
QString ToQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }
WideString ToWide(const QString& text) { return text.toStdU16String(); }

// Discards the characters a box does not take (see AcceptsTypedCharacter). Focus keys, Delete and
// shortcuts are not typed characters and pass; Backspace is one and is discarded.
class TTypedCharacterFilter : public QObject {
public:
    TTypedCharacterFilter(TTypedBox box, QObject* parent) : QObject(parent), box_(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace) return true;
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete) return false;
        if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier)) return false;
        const QString text = key->text();
        if (text.isEmpty()) return false;  // arrows, Home, End and the like
        for (QChar ch : text) {
            if (!AcceptsTypedCharacter(box_, ch.unicode())) return true;
        }
        return false;
    }

private:
    TTypedBox box_;
};

// The divider and terminator boxes hold one of their entries or a single character. Part of an
// entry may stand in the box while it is typed or deleted character by character.
class TSeparatorValidator : public QValidator {
public:
    TSeparatorValidator(const std::vector<WideString>& entries, QObject* parent)
        : QValidator(parent), entries_(entries) {}

    State validate(QString& input, int& /*pos*/) const override {
        if (input.size() <= 1) return Acceptable;
        if (SeparatorEntryIndex(SeparatorFromBoxText(ToWide(input), entries_), entries_) >= 0) return Acceptable;
        for (const WideString& entry : entries_) {
            if (ToQString(entry).startsWith(input, Qt::CaseInsensitive)) return Intermediate;
        }
        return Invalid;
    }

private:
    const std::vector<WideString>& entries_;
};

// A label that opens a document when clicked: blue, underlined, with the hand cursor.
class TLinkLabel : public QLabel {
public:
    TLinkLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        QFont underlined = font();
        underlined.setUnderline(true);
        setFont(underlined);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        setPalette(palette);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) onClick_();
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> onClick_;
};

QColor ToQColor(uint32_t color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

QIcon Swatch(uint32_t color) {
    QPixmap pixmap(16, 12);
    pixmap.fill(ToQColor(color));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

QToolButton* ArrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

const std::vector<TStandardColor>& StandardColors() {
    static const std::vector<TStandardColor> colors = [] {
        std::vector<TStandardColor> list;
        for (const char* name : {"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray", "Silver", "Red",
                                 "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"}) {
            list.push_back({name, ColorFromName(name)});
        }
        return list;
    }();
    return colors;
}

TMainForm::TMainForm(const TConversionSettings& settings, std::string programPath, std::string commandLineError,
                     TLocaleInfo locale, TCodePage codePage, TPlatformServices services, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      converter_(std::move(locale), std::move(codePage)),
      services_(std::move(services)),
      commandLineError_(std::move(commandLineError)),
      readme_(ReadmeFile(QCoreApplication::applicationDirPath().toStdString(), QUARVEL_DOCS_FROM_PROGRAM,
                         QUARVEL_SOURCE_TREE)) {
    converter_.Settings = settings;
    presenter_ = std::make_unique<TFormPresenter>(converter_, static_cast<TFormView&>(*this), std::move(programPath));
    setWindowTitle(QLatin1String(kWindowTitle));
    setWindowIcon(QIcon(QLatin1String(kWindowIconResource)));
    QFont windowFont = font();
    windowFont.setFamilies({QStringLiteral("Tahoma")});
    windowFont.setStyleHint(QFont::SansSerif);
    windowFont.setPointSizeF(8);
    setFont(windowFont);
    BuildWidgets();
    ShowSettings();
    Connect();
    presenter_->Start(!commandLineError_.empty());
    // A fixed size that fits the content.
    setFixedSize(sizeHint());
}

TMainForm::~TMainForm() {
    if (busy_) PopCursor();
}

void TMainForm::BuildWidgets() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);

    // The input panel is a lowered frame behind the cells of its columns.
    constexpr int kFirstRow = 1, kLastRow = 13;
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    grid->addWidget(panel, 0, 0, kLastRow + 2, 4);
    grid->setColumnMinimumWidth(0, 4);
    grid->setColumnMinimumWidth(3, 4);
    grid->setRowMinimumHeight(0, 2);
    grid->setRowMinimumHeight(kLastRow + 1, 2);
    grid->setColumnMinimumWidth(4, 6);
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(2, 150);
    grid->setColumnMinimumWidth(5, 150);

    QFont bold = font();
    bold.setBold(true);
    auto label = [&](const char* text, int row, int column, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
        auto* l = new QLabel(QLatin1String(text), this);
        l->setAlignment(align);
        grid->addWidget(l, row, column);
        return l;
    };
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    auto fileRow = [&](const char* text, int row, QLineEdit*& edit, QToolButton*& button, const char* editName,
                       const char* buttonName) {
        label(text, row, 1);
        auto* holder = new QWidget(this);
        auto* box = new QHBoxLayout(holder);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(2);
        edit = new QLineEdit(holder);
        edit->setObjectName(QLatin1String(editName));
        button = new QToolButton(holder);
        button->setObjectName(QLatin1String(buttonName));
        button->setText(QStringLiteral("..."));
        box->addWidget(edit, 1);
        box->addWidget(button);
        grid->addWidget(holder, row, 2);
        panelInputs_.push_back(edit);
        panelInputs_.push_back(button);
    };
    auto spinRow = [&](const char* text, int row, int characters, QLineEdit*& edit, QToolButton*& up,
                       QToolButton*& down, const char* editName, const char* upName, const char* downName) {
        label(text, row, 1);
        auto* holder = new QWidget(this);
        auto* box = new QHBoxLayout(holder);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
        edit = new QLineEdit(holder);
        edit->setObjectName(QLatin1String(editName));
        edit->setReadOnly(true);
        edit->setFixedWidth((characters + 2) * charWidth + 8);
        auto* arrows = new QVBoxLayout;
        arrows->setContentsMargins(0, 0, 0, 0);
        arrows->setSpacing(0);
        up = ArrowButton(Qt::UpArrow, upName, holder);
        down = ArrowButton(Qt::DownArrow, downName, holder);
        const int half = edit->sizeHint().height() / 2;
        up->setFixedSize(16, half);
        down->setFixedSize(16, half);
        arrows->addWidget(up);
        arrows->addWidget(down);
        box->addWidget(edit);
        box->addLayout(arrows);
        box->addStretch(1);
        grid->addWidget(holder, row, 2);
        panelInputs_.push_back(edit);
        panelInputs_.push_back(up);
        panelInputs_.push_back(down);
    };
    auto separatorRow = [&](const char* text, int row, QComboBox*& combo, const char* name,
                            const std::vector<WideString>& entries) {
        label(text, row, 1);
        combo = new QComboBox(this);
        combo->setObjectName(QLatin1String(name));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        for (const WideString& entry : entries) combo->addItem(ToQString(entry));
        combo->lineEdit()->setValidator(new TSeparatorValidator(entries, combo));
        combo->setFixedWidth(12 * charWidth + 30);
        grid->addWidget(combo, row, 2, Qt::AlignLeft);
        panelInputs_.push_back(combo);
    };

    // Headings.
    auto* heading = label("Window mode", kFirstRow, 1, Qt::AlignRight | Qt::AlignVCenter);
    heading->setFont(bold);
    grid->removeWidget(heading);
    grid->addWidget(heading, kFirstRow, 1, 1, 2);
    label("Command line", kFirstRow, 5)->setFont(bold);

    fileRow("Source file", 2, sourceEdit_, sourceButton_, "sourceEdit", "sourceButton");
    label("1 parameter", 2, 5);
    fileRow("Target file", 3, targetEdit_, targetButton_, "targetEdit", "targetButton");
    label("2 parameter", 3, 5);

    notCleanTagsCheck_ = new QCheckBox(QStringLiteral("Not clean tags"), this);
    notCleanTagsCheck_->setObjectName(QStringLiteral("notCleanTagsCheck"));
    grid->addWidget(notCleanTagsCheck_, 4, 1, 1, 2);
    panelInputs_.push_back(notCleanTagsCheck_);
    // "Tables only" stands at the right of the same row.
    tablesOnlyCheck_ = new QCheckBox(QStringLiteral("Tables only"), this);
    tablesOnlyCheck_->setObjectName(QStringLiteral("tablesOnlyCheck"));
    grid->addWidget(tablesOnlyCheck_, 4, 2, Qt::AlignRight);
    panelInputs_.push_back(tablesOnlyCheck_);
    label("/N", 4, 5);
    label("/T", 4, 5, Qt::AlignRight | Qt::AlignVCenter);

    spinRow("Levels of group", 5, 1, levelsEdit_, levelsUp_, levelsDown_, "levelsEdit", "levelsUp", "levelsDown");
    label("/L number", 5, 5);
    spinRow("Start data", 6, 2, startDataEdit_, startDataUp_, startDataDown_, "startDataEdit", "startDataUp",
            "startDataDown");
    label("/D number", 6, 5);

    label("Wrap more chars", 7, 1);
    wrapEdit_ = new QLineEdit(this);
    wrapEdit_->setObjectName(QStringLiteral("wrapEdit"));
    wrapEdit_->setFixedWidth((kWrapWidthLength + 2) * charWidth + 8);
    // Typing is limited by the key filter; pasting by the validator. Neither cuts a longer value
    // given on the command line, which stays as it was given until the user edits it.
    wrapEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(kWrapWidthLength)), wrapEdit_));
    grid->addWidget(wrapEdit_, 7, 2, Qt::AlignLeft);
    panelInputs_.push_back(wrapEdit_);
    // The encoding box stands at the right of the wrap box's row: any name can be typed.
    encodingCombo_ = new QComboBox(this);
    encodingCombo_->setObjectName(QStringLiteral("encodingCombo"));
    encodingCombo_->setEditable(true);
    encodingCombo_->setInsertPolicy(QComboBox::NoInsert);
    for (const WideString& entry : EncodingEntries()) encodingCombo_->addItem(ToQString(entry));
    encodingCombo_->setToolTip(QStringLiteral("Encoding of the source: auto reads its byte-order mark or its HTML "
                                              "declaration, else the locale's"));
    encodingCombo_->setFixedWidth(10 * charWidth + 24);
    grid->addWidget(encodingCombo_, 7, 2, Qt::AlignRight);
    panelInputs_.push_back(encodingCombo_);
    label("/W number", 7, 5);
    label("/E name", 7, 5, Qt::AlignRight | Qt::AlignVCenter);

    levelsEdit_->installEventFilter(new TTypedCharacterFilter(TTypedBox::Levels, levelsEdit_));
    startDataEdit_->installEventFilter(new TTypedCharacterFilter(TTypedBox::StartData, startDataEdit_));
    wrapEdit_->installEventFilter(new TTypedCharacterFilter(TTypedBox::WrapWidth, wrapEdit_));

    separatorRow("Field divider", 8, dividerCombo_, "dividerCombo", FieldDividerEntries());
    label("/F code", 8, 5);
    separatorRow("String terminator", 9, terminatorCombo_, "terminatorCombo", StringTerminatorEntries());
    terminatorCombo_->setToolTip(QStringLiteral("The quote of CSV: with Not clean tags, a workbook reads the source as "
                                                "CSV, fields in these quotes keeping their dividers and line breaks"));
    label("/S code", 9, 5);

    label("Border color", 10, 1);
    colorCombo_ = new QComboBox(this);
    colorCombo_->setObjectName(QStringLiteral("colorCombo"));
    for (const TStandardColor& color : StandardColors()) {
        colorCombo_->addItem(Swatch(color.Color), QLatin1String(color.Name), QVariant::fromValue(color.Color));
    }
    grid->addWidget(colorCombo_, 10, 2, Qt::AlignLeft);
    panelInputs_.push_back(colorCombo_);
    label("/C name", 10, 5);

    label("Header", 11, 1);
    headerEdit_ = new QLineEdit(this);
    headerEdit_->setObjectName(QStringLiteral("headerEdit"));
    grid->addWidget(headerEdit_, 11, 2);
    panelInputs_.push_back(headerEdit_);
    label("/H text", 11, 5);

    statusEdit_ = new QLineEdit(this);
    statusEdit_->setObjectName(QStringLiteral("statusEdit"));
    statusEdit_->setReadOnly(true);
    statusEdit_->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(statusEdit_, 12, 1, 1, 2);
    echoEdit_ = new QLineEdit(this);
    echoEdit_->setObjectName(QStringLiteral("echoEdit"));
    echoEdit_->setReadOnly(true);
    grid->addWidget(echoEdit_, 12, 5);

    goButton_ = new QPushButton(QStringLiteral("Go"), this);
    goButton_->setObjectName(QStringLiteral("goButton"));
    grid->addWidget(goButton_, kLastRow, 1, Qt::AlignLeft);
    const QString readme = QString::fromStdString(readme_);
    linkLabel_ = new TLinkLabel(
        QLatin1String(kReadmeLinkText),
        [this, readme] {
            if (!readme.isEmpty()) services_.OpenUrl(QUrl::fromLocalFile(readme));
        },
        this);
    linkLabel_->setObjectName(QStringLiteral("linkLabel"));
    if (readme.isEmpty()) {
        linkLabel_->setEnabled(false);
        linkLabel_->setToolTip(QStringLiteral("The README was not found"));
    } else {
        linkLabel_->setToolTip(QStringLiteral("Opens the README: ") + readme);
    }
    grid->addWidget(linkLabel_, kLastRow, 2, Qt::AlignRight | Qt::AlignBottom);
    label("All parameters are unessential", kLastRow, 5, Qt::AlignRight | Qt::AlignBottom);
}

void TMainForm::ShowSettings() {
    const TConversionSettings& settings = presenter_->Settings();
    sourceEdit_->setText(ToQString(presenter_->Text(settings.SourceFile)));
    targetEdit_->setText(ToQString(presenter_->Text(settings.TargetFile)));
    notCleanTagsCheck_->setChecked(settings.NotCleanTags);
    tablesOnlyCheck_->setChecked(settings.TablesOnly);
    if (settings.Encoding.empty()) {
        encodingCombo_->setCurrentIndex(0);
    } else {
        const int index = encodingCombo_->findText(ToQString(presenter_->Text(settings.Encoding)), Qt::MatchFixedString);
        if (index >= 0) {
            encodingCombo_->setCurrentIndex(index);
        } else {
            encodingCombo_->setEditText(ToQString(presenter_->Text(settings.Encoding)));
        }
    }
    levelsEdit_->setText(ToQString(presenter_->Text(settings.GroupLevels)));
    startDataEdit_->setText(ToQString(presenter_->Text(settings.StartDataRow)));
    wrapEdit_->setText(ToQString(presenter_->Text(settings.WrapWidth)));
    auto showSeparator = [](QComboBox* combo, const WideString& setting, const std::vector<WideString>& entries) {
        int index = SeparatorEntryIndex(setting, entries);
        if (index >= 0) {
            combo->setCurrentIndex(index);
        } else {
            // A character the list does not hold stands in the box as typed text.
            combo->setEditText(ToQString(SeparatorBoxText(setting)));
        }
    };
    showSeparator(dividerCombo_, settings.FieldDivider, FieldDividerEntries());
    showSeparator(terminatorCombo_, settings.StringTerminator, StringTerminatorEntries());
    // A colour outside the list draws no borders, like White, and shows as White.
    const auto& colors = StandardColors();
    int colorIndex = int(colors.size()) - 1;
    for (size_t i = 0; i < colors.size(); ++i) {
        if (colors[i].Color == settings.BorderColor) colorIndex = int(i);
    }
    colorCombo_->setCurrentIndex(colorIndex);
    headerEdit_->setText(ToQString(presenter_->Text(settings.HeaderText)));
}

void TMainForm::Connect() {
    TFormPresenter& p = *presenter_;
    connect(sourceEdit_, &QLineEdit::textChanged, this, [&p](const QString& text) { p.SourceChanged(ToWide(text)); });
    connect(targetEdit_, &QLineEdit::textChanged, this, [&p](const QString& text) { p.TargetChanged(ToWide(text)); });
    connect(notCleanTagsCheck_, &QCheckBox::toggled, this, [&p](bool checked) { p.NotCleanTagsChanged(checked); });
    connect(tablesOnlyCheck_, &QCheckBox::toggled, this, [&p](bool checked) { p.TablesOnlyChanged(checked); });
    connect(encodingCombo_, &QComboBox::currentTextChanged, this,
            [&p](const QString& text) { p.EncodingChanged(ToWide(text)); });
    connect(levelsEdit_, &QLineEdit::textChanged, this,
            [&p](const QString& text) { p.GroupLevelsChanged(ToWide(text)); });
    connect(startDataEdit_, &QLineEdit::textChanged, this,
            [&p](const QString& text) { p.StartDataRowChanged(ToWide(text)); });
    connect(wrapEdit_, &QLineEdit::textChanged, this, [&p](const QString& text) { p.WrapWidthChanged(ToWide(text)); });
    connect(dividerCombo_, &QComboBox::currentTextChanged, this,
            [&p](const QString& text) { p.FieldDividerChanged(ToWide(text)); });
    connect(terminatorCombo_, &QComboBox::currentTextChanged, this,
            [&p](const QString& text) { p.StringTerminatorChanged(ToWide(text)); });
    connect(colorCombo_, &QComboBox::currentIndexChanged, this, [this, &p](int index) {
        if (index >= 0) p.BorderColorChanged(colorCombo_->itemData(index).value<uint32_t>());
    });
    connect(headerEdit_, &QLineEdit::textChanged, this, [&p](const QString& text) { p.HeaderTextChanged(ToWide(text)); });

    // The spin buttons change the box's text, which then reports the change like any other.
    auto spin = [this](QToolButton* button, QLineEdit* edit, int delta, int low, int high) {
        connect(button, &QToolButton::clicked, this, [edit, delta, low, high] {
            edit->setText(QString::fromStdString(SpinStep(edit->text().toStdString(), delta, low, high)));
        });
    };
    spin(levelsUp_, levelsEdit_, +1, kLevelsLow, kLevelsHigh);
    spin(levelsDown_, levelsEdit_, -1, kLevelsLow, kLevelsHigh);
    spin(startDataUp_, startDataEdit_, +1, kStartDataLow, kStartDataHigh);
    spin(startDataDown_, startDataEdit_, -1, kStartDataLow, kStartDataHigh);

    connect(sourceButton_, &QToolButton::clicked, this, [this] { ChooseSource(); });
    connect(targetButton_, &QToolButton::clicked, this, [this] { ChooseTarget(); });
    connect(goButton_, &QPushButton::clicked, this, [&p] { p.Go(); });
}

void TMainForm::ChooseSource() {
    QString path = services_.OpenFile(this, QStringLiteral("Source file"), DialogFilter(kSourceDialogFilter),
                                      QStringLiteral("csv"), sourceEdit_->text());
    if (!path.isEmpty()) sourceEdit_->setText(path);
}

void TMainForm::ChooseTarget() {
    // A name typed without an extension gets the one of the current target's format.
    const QString suffix = IsXlsxTarget(targetEdit_->text().toStdString()) ? QStringLiteral("xlsx") : QStringLiteral("xls");
    QString path = services_.SaveFile(this, QStringLiteral("Target file"), DialogFilter(presenter_->SaveFilter()),
                                      suffix, targetEdit_->text());
    if (!path.isEmpty()) targetEdit_->setText(path);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // A command line that could not be read is reported once the window is up.
    if (!commandLineError_.empty()) {
        QTimer::singleShot(0, this, [this] { ShowError(commandLineError_, ""); });
    }
}

void TMainForm::SetGoEnabled(bool enabled) { goButton_->setEnabled(enabled && panelEnabled_); }

void TMainForm::SetPanelEnabled(bool enabled) {
    panelEnabled_ = enabled;
    for (QWidget* input : panelInputs_) input->setEnabled(enabled);
    goButton_->setEnabled(enabled && presenter_->GoEnabled());
}

void TMainForm::ShowStatus(const std::string& status) {
    statusEdit_->setText(ToQString(status));
    statusEdit_->setToolTip(ToQString(status));
    statusEdit_->setCursorPosition(0);
}

void TMainForm::ShowEcho(const std::string& echo) {
    // The echo holds the program path, the file names and the header in the process's bytes.
    QString text = ToQString(presenter_->Text(echo));
    echoEdit_->setText(text);
    echoEdit_->setToolTip(text);
    echoEdit_->setCursorPosition(0);
}

void TMainForm::SetBusyCursor(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        PushBusyCursor();
    } else {
        PopCursor();
    }
}

void TMainForm::Repaint() { repaint(); }

void TMainForm::ShowError(const std::string& message, const std::string& file) {
    // The box gets the normal pointer even while a conversion's busy cursor is up.
    PushNormalCursor();
    services_.ErrorBox(this, ToQString(message), ToQString(presenter_->Text(file)));
    PopCursor();
}

int RunMainWindow(int& argc, char** argv, const TConversionSettings& settings, const std::string& commandLineError,
                  std::string_view usage) {
    const std::string context = "no source and target file given, and the window cannot be opened";
    std::string reason;
    if (!DisplayAvailable(reason)) {
        if (!commandLineError.empty()) std::cerr << "quarvel: " << commandLineError << "\n";
        std::cerr << usage << "quarvel: no source and target file given, and " << reason << "\n";
        return 2;
    }
    std::unique_ptr<QApplication> app;
    {
        TToolkitStartGuard guard(std::string(usage), context);
        app = std::make_unique<QApplication>(argc, argv);
    }
    QApplication::setApplicationName(QStringLiteral("quarvel"));
    QApplication::setApplicationDisplayName(QLatin1String(kWindowTitle));
    QApplication::setDesktopFileName(QStringLiteral("quarvel"));
    QApplication::setWindowIcon(QIcon(QLatin1String(kWindowIconResource)));
    TMainForm window(settings, ProgramPath(argv && argc > 0 ? argv[0] : nullptr), commandLineError,
                     ReadProcessLocale(), TCodePage::FromProcessLocale(), DesktopServices());
    window.show();
    QApplication::exec();
    return 0;
}

}  // namespace quarvel
