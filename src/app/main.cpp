#include "CommandLine.h"
#include "DialogPrompts.h"
#include "MainWindow.h"
#include "Prompts.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY") ||
                            !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                            !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    switch (tessaly::EarlyCommandLineAction(args, hasDisplay)) {
    case tessaly::EarlyAction::Help:
        std::fputs(tessaly::UsageText().c_str(), stdout);
        return 0;
    case tessaly::EarlyAction::Version:
        std::fputs(tessaly::VersionText().c_str(), stdout);
        return 0;
    case tessaly::EarlyAction::UnknownOption:
        std::fprintf(stderr, "tessaly: unknown option \"%s\"\n\n%s",
                     tessaly::UnknownOption(args).c_str(), tessaly::UsageText().c_str());
        return 2;
    case tessaly::EarlyAction::NeedsDisplay:
        std::fputs(tessaly::NeedsDisplayText().c_str(), stderr);
        return 2;
    case tessaly::EarlyAction::Run:
        break;
    }
    // An unattended run without a display runs on the offscreen platform.
    if (!hasDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessaly");
    QApplication::setOrganizationName("Quorvane Software");
    QApplication::setApplicationDisplayName("Quorvane Google Tessaly");
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName("example.quorvane.Tessaly");
    tessaly::initResources();
    QApplication::setWindowIcon(QIcon(":/desktop/icons/256x256/tessaly.png"));

    // Nobody can answer a window on the offscreen platform: messages go to
    // standard error and take their default answers.
    tessaly::DialogPrompts dialogs;
    if (QGuiApplication::platformName() != "offscreen")
        tessaly::setPrompts(&dialogs);

    QStringList windowArgs;
    for (const auto& a : args)
        windowArgs << QString::fromLocal8Bit(a.c_str());
    tessaly::TfrmSiteMapMain window(windowArgs);
    window.show();
    int status = app.exec();
    tessaly::setPrompts(nullptr);
    return status != 0 || window.runFailed() ? 1 : 0;
}
