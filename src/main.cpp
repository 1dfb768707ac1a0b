// Start-up: the application object, its title and help file, the main
// window, the controller, then the event loop until the main window closes.
#include "gui/messages.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "device/fluidsequencer.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Kestrix"));
    app.setApplicationName(QStringLiteral("Quavette"));
    app.setApplicationVersion(QStringLiteral(QUAVETTE_VERSION));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/quavette.svg")));
    app.setQuitOnLastWindowClosed(false);
    // The SoundFont loads while the windows are made, so the first Play does
    // not wait for it.
    PreloadSoundFont();

    SetApplicationTitle(QStringLiteral("Quavette"));
    ApplicationHelpFile = QCoreApplication::applicationDirPath() + QStringLiteral("/Quavette.hlp");

    AppWindows windows = CreateAppWindows();
    QObject::connect(windows.main.get(), &TFrm_main::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    windows.main->show();
    return app.exec();
}
