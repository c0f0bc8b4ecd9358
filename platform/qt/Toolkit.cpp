#include "platform/qt/Toolkit.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace quarvel {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Platforms that draw without a display server.
bool NeedsNoDisplay(std::string_view platform) {
    for (std::string_view name : {"offscreen", "minimal", "minimalegl", "vnc", "linuxfb", "eglfs", "vkkhrdisplay"}) {
        if (platform == name) return true;
    }
    return false;
}

// What the start guard keeps while the toolkit starts.
struct TStartState {
    std::string Usage;
    std::string Context;
    std::vector<std::pair<QtMsgType, QString>> Held;  // messages of the start, with their kind
    QtMessageHandler Previous = nullptr;
};
std::unique_ptr<TStartState> startState;  // while a start guard lives

std::string FirstLine(const QString& text) {
    QString line = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    return line.toStdString();
}

void StartMessageHandler(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    TStartState& state = *startState;
    if (type != QtFatalMsg) {
        state.Held.emplace_back(type, message);
        return;
    }
    // The toolkit gives up: its first complaint names the cause ("could not connect to display :1").
    std::string reason = state.Held.empty() ? FirstLine(message) : FirstLine(state.Held.front().second);
    std::cerr << state.Usage << "quarvel: " << state.Context << ": " << reason << std::endl;
    ::_exit(2);
}

}  // namespace

bool DisplayAvailable(std::string& reason) {
    std::string platforms = Env("QT_QPA_PLATFORM");
    bool hasX = !Env("DISPLAY").empty();
    bool hasWayland = !Env("WAYLAND_DISPLAY").empty();
    if (platforms.empty()) {
        if (hasX || hasWayland) return true;
    } else {
        // A list such as "wayland;xcb", each name possibly followed by ":options".
        size_t start = 0;
        while (start <= platforms.size()) {
            size_t end = platforms.find(';', start);
            if (end == std::string::npos) end = platforms.size();
            std::string_view entry = std::string_view(platforms).substr(start, end - start);
            std::string_view name = entry.substr(0, entry.find(':'));
            start = end + 1;
            if (NeedsNoDisplay(name)) return true;
            if (name == "xcb") {
                if (hasX) return true;
            } else if (name.rfind("wayland", 0) == 0) {
                if (hasWayland) return true;
            } else if (!name.empty()) {
                return true;  // any other platform is the toolkit's to judge; the start guard catches a failure
            }
        }
    }
    reason = "no display is available for the window";
    return false;
}

TToolkitStartGuard::TToolkitStartGuard(std::string usage, std::string context) {
    startState = std::make_unique<TStartState>(TStartState{std::move(usage), std::move(context), {}, nullptr});
    startState->Previous = qInstallMessageHandler(StartMessageHandler);
}

TToolkitStartGuard::~TToolkitStartGuard() {
    qInstallMessageHandler(startState->Previous);
    std::vector<std::pair<QtMsgType, QString>> held = std::move(startState->Held);
    startState.reset();
    for (const auto& [type, message] : held) {
        switch (type) {
            case QtDebugMsg: qDebug("%s", qPrintable(message)); break;
            case QtInfoMsg: qInfo("%s", qPrintable(message)); break;
            case QtWarningMsg: qWarning("%s", qPrintable(message)); break;
            default: qCritical("%s", qPrintable(message)); break;
        }
    }
}

QString DialogFilter(std::string_view pairs) {
    QStringList parts = QString::fromUtf8(pairs.data(), qsizetype(pairs.size())).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

QString RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title, const QString& filter,
                      const QString& defaultSuffix, const QString& startPath) {
    QFileDialog dialog(parent, title, startPath.isEmpty() ? QString() : QFileInfo(startPath).path(), filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!startPath.isEmpty()) dialog.selectFile(startPath);
    if (mode == QFileDialog::AcceptSave) {
        // A name typed without extension takes the extension of the file type chosen.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
            qsizetype star = chosen.indexOf(QStringLiteral("(*."));
            if (star >= 0) dialog.setDefaultSuffix(chosen.mid(star + 3).section(QLatin1Char(')'), 0, 0));
        });
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace

TPlatformServices DesktopServices() {
    TPlatformServices services;
    services.OpenFile = [](QWidget* parent, const QString& title, const QString& filter, const QString& suffix,
                           const QString& start) {
        return RunFileDialog(parent, QFileDialog::AcceptOpen, title, filter, suffix, start);
    };
    services.SaveFile = [](QWidget* parent, const QString& title, const QString& filter, const QString& suffix,
                           const QString& start) {
        return RunFileDialog(parent, QFileDialog::AcceptSave, title, filter, suffix, start);
    };
    services.ErrorBox = [](QWidget* parent, const QString& message, const QString& file) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message, QMessageBox::Ok, parent);
        if (!file.isEmpty()) box.setInformativeText(file);
        box.exec();
    };
    services.OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return services;
}

void PushBusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

void PushNormalCursor() { QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor)); }

void PopCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace quarvel
