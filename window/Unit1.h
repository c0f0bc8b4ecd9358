// The main window: the input panel on the left, the command-line panel on the right. The widgets
// only show and forward; what every event does is TFormPresenter's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QWidget>

#include "converter/Converter.h"
#include "converter/Settings.h"
#include "platform/CodePage.h"
#include "platform/Locale.h"
#include "platform/qt/Toolkit.h"
#include "window/FormPresenter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quarvel {

// Caption of the window and name of the application.
inline constexpr char kWindowTitle[] = "QUARVEL";
// The link label at the bottom of the input panel: it opens the README (see ReadmeFile), the
// installed one or, run from a build tree, the source tree's.
inline constexpr char kReadmeLinkText[] = "QUARVEL README";
// The window's icon, a resource built into the window.
inline constexpr char kWindowIconResource[] = ":/quarvel/quarvel.svg";

// The 16 standard colours of the border colour picker, in list order, under their plain names.
struct TStandardColor {
    const char* Name;  // "Black" ... "White"
    uint32_t Color;    // 0x00BBGGRR
};
const std::vector<TStandardColor>& StandardColors();

// The main window. Widgets carry object names for tests: sourceEdit, sourceButton, targetEdit,
// targetButton, notCleanTagsCheck, tablesOnlyCheck, levelsEdit, levelsUp, levelsDown, startDataEdit, startDataUp,
// startDataDown, wrapEdit, encodingCombo, dividerCombo, terminatorCombo, colorCombo, headerEdit, statusEdit,
// goButton, linkLabel, echoEdit.
class TMainForm : public QWidget, private TFormView {
public:
    // The settings as the command line left them; `commandLineError` is the message of a command
    // line that could not be read (shown in the error box once the window is up, the echo then
    // staying empty until the first change).
    TMainForm(const TConversionSettings& settings, std::string programPath, std::string commandLineError,
              TLocaleInfo locale, TCodePage codePage, TPlatformServices services, QWidget* parent = nullptr);
    ~TMainForm() override;

    TFormPresenter& Presenter() { return *presenter_; }
    TPlatformServices& Services() { return services_; }
    // The README the link opens, empty when there is none (the link is then disabled).
    const std::string& Readme() const { return readme_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWidgets();
    void ShowSettings();
    void Connect();
    void ChooseSource();
    void ChooseTarget();

    // TFormView
    void SetGoEnabled(bool enabled) override;
    void SetPanelEnabled(bool enabled) override;
    void ShowStatus(const std::string& status) override;
    void ShowEcho(const std::string& echo) override;
    void SetBusyCursor(bool busy) override;
    void Repaint() override;
    void ShowError(const std::string& message, const std::string& file) override;

    TConverter converter_;
    std::unique_ptr<TFormPresenter> presenter_;
    TPlatformServices services_;
    std::string commandLineError_;
    std::string readme_;
    bool busy_ = false;
    bool panelEnabled_ = true;
    bool shown_ = false;

    std::vector<QWidget*> panelInputs_;  // every input of the panel but Go: disabled during a conversion
    QLineEdit* sourceEdit_ = nullptr;
    QToolButton* sourceButton_ = nullptr;
    QLineEdit* targetEdit_ = nullptr;
    QToolButton* targetButton_ = nullptr;
    QCheckBox* notCleanTagsCheck_ = nullptr;
    QCheckBox* tablesOnlyCheck_ = nullptr;
    QComboBox* encodingCombo_ = nullptr;
    QLineEdit* levelsEdit_ = nullptr;
    QToolButton* levelsUp_ = nullptr;
    QToolButton* levelsDown_ = nullptr;
    QLineEdit* startDataEdit_ = nullptr;
    QToolButton* startDataUp_ = nullptr;
    QToolButton* startDataDown_ = nullptr;
    QLineEdit* wrapEdit_ = nullptr;
    QComboBox* dividerCombo_ = nullptr;
    QComboBox* terminatorCombo_ = nullptr;
    QComboBox* colorCombo_ = nullptr;
    QLineEdit* headerEdit_ = nullptr;
    QLineEdit* statusEdit_ = nullptr;
    QPushButton* goButton_ = nullptr;
    QLabel* linkLabel_ = nullptr;
    QLineEdit* echoEdit_ = nullptr;
};

// Runs the window until it is closed: the toolkit is started only here, after batch mode was ruled
// out. Without a display it prints `usage` and a one-line reason on stderr and returns 2; else it
// returns 0 when the window closes.
int RunMainWindow(int& argc, char** argv, const TConversionSettings& settings, const std::string& commandLineError,
                  std::string_view usage);

}  // namespace quarvel
