// Draws the main window, filled in as a user might have it, into a PNG file:
//   QT_QPA_PLATFORM=offscreen window_grab window.png
#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <iostream>

#include "window/Unit1.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: window_grab <file.png>\n";
        return 2;
    }
    QApplication app(argc, argv);
    quarvel::TConversionSettings settings;
    settings.SourceFile = "/home/ann/reports/sales.htm";
    settings.TargetFile = "/home/ann/reports/sales.xls";
    settings.GroupLevels = "2";
    settings.StartDataRow = "3";
    settings.FieldDivider = u"|";
    settings.BorderColor = quarvel::ColorFromName("navy");
    settings.HeaderText = "Sales 2024";
    quarvel::TMainForm form(settings, "/usr/bin/quarvel", "", quarvel::UsLocaleInfo(), quarvel::TCodePage(),
                            quarvel::DesktopServices());
    form.show();
    form.findChild<QWidget*>(QStringLiteral("goButton"))->setFocus();
    QApplication::processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::cerr << "window_grab: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
