// Start-up: the application object, the command line and
// the one-instance check, the main window, the controller, the desktop
// services, then the event loop until the main window closes.
#include "core/appinfo.h"
#include "device/fluidsequencer.h"
#include "gui/commandline.h"
#include "gui/desktopservices.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/singleinstance.h"
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

    const QList<QByteArray> files = ParseCommandLine(app, argc, argv);
    SingleInstance instance;
    switch (instance.Claim(files)) {
    case SingleInstance::Start::First:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::NoAnswer:
        ShowMessage({ApplicationName(), QStringLiteral("Quavette is running already but does not answer."),
                     MsgIcon::Warning, QMessageBox::Ok});
        return 1;
    }

    // The SoundFont loads while the windows are made, so the first Play does
    // not wait for it.
    PreloadSoundFont();

    AppWindows windows = CreateAppWindows();
    QObject::connect(windows.main.get(), &TFrm_main::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    DesktopServices services(instance, files);
    windows.main->show();
    return app.exec();
}
