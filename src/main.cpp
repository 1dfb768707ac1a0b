// Start-up: the application object and its help file, the main window, the
// controller, then the event loop until the main window closes.
#include "core/appinfo.h"
#include "device/fluidsequencer.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setOrganizationName(OrganizationName());
    app.setApplicationName(ApplicationName());
    app.setApplicationVersion(QStringLiteral(QUAVETTE_VERSION));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/quavette.svg")));
    app.setQuitOnLastWindowClosed(false);
    // The SoundFont loads while the windows are made, so the first Play does
    // not wait for it.
    PreloadSoundFont();

    ApplicationHelpFile = QCoreApplication::applicationDirPath() + QStringLiteral("/Quavette.hlp");

    AppWindows windows = CreateAppWindows();
    QObject::connect(windows.main.get(), &TFrm_main::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    windows.main->show();
    return app.exec();
}
