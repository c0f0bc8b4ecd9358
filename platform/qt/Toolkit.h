// The parts of the windowing toolkit the main window uses through the platform layer: starting the
// toolkit safely, the common dialogs, the error box, the busy cursor and the shell's "open".
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QString>
#include <QUrl>

class QWidget;

namespace quarvel {

// Whether a window can be shown at all: false, with the reason, when the toolkit would look for a
// display and the environment names none (no DISPLAY or WAYLAND_DISPLAY and no platform such as
// "offscreen" chosen through QT_QPA_PLATFORM).
bool DisplayAvailable(std::string& reason);

// Guards the toolkit's start-up. A toolkit that cannot start (an unreachable display, a missing
// platform plugin) would abort the process; while a guard lives, it instead makes the process
// print `usage`, then "quarvel: <context>: <the toolkit's first complaint>", and exit with status 2.
// Messages of a start that succeeds are passed on when the guard ends.
class TToolkitStartGuard {
public:
    TToolkitStartGuard(std::string usage, std::string context);
    ~TToolkitStartGuard();
    TToolkitStartGuard(const TToolkitStartGuard&) = delete;
    TToolkitStartGuard& operator=(const TToolkitStartGuard&) = delete;
};

// A filter list of name|pattern pairs ("CSV file|*.csv|Other file|*.*") in the dialogs' notation
// ("CSV file (*.csv);;Other file (*)"); "*.*" means every file.
QString DialogFilter(std::string_view pairs);

// The services the window asks of the platform. Each is replaceable, so that tests never block in a
// modal dialog or start a web browser.
struct TPlatformServices {
    // The open and save dialogs: title, filter (dialog notation), default extension (without dot)
    // and the path to start from; the chosen path, or an empty text when the user cancels.
    std::function<QString(QWidget* parent, const QString& title, const QString& filter, const QString& defaultSuffix,
                          const QString& startPath)>
        OpenFile;
    std::function<QString(QWidget* parent, const QString& title, const QString& filter, const QString& defaultSuffix,
                          const QString& startPath)>
        SaveFile;
    // The error box: the message, and the file it concerns (empty when none).
    std::function<void(QWidget* parent, const QString& message, const QString& file)> ErrorBox;
    // Opens a web address in the user's browser.
    std::function<void(const QUrl& url)> OpenUrl;
};

// The desktop's own dialogs, message box and browser.
TPlatformServices DesktopServices();

// The busy cursor over the whole application, and a normal one again. Calls nest.
void PushBusyCursor();
void PushNormalCursor();
void PopCursor();

}  // namespace quarvel
