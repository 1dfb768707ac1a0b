// Start-up: the application object, the command line and
// the one-instance check, the main window, the controller, the desktop
// services, then the event loop until the main window closes.
#include "core/appinfo.h"
#include "device/fluidsequencer.h"
#include "gui/commandline.h"
#include "gui/desktopservices.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/quitrequests.h"
#include "gui/singleinstance.h"
#include "gui/startup.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// An option on the command line: --help, --version or a mistake, answered
// in text, with no display needed.
bool hasOption(int argc, char **argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(OrganizationName());
    QCoreApplication::setApplicationName(ApplicationName());
    QCoreApplication::setApplicationVersion(QStringLiteral(QUAVETTE_VERSION));
    if (hasOption(argc, argv)) {
        QCoreApplication text(argc, argv);
        ParseCommandLine(text, argc, argv); // ends the process for --help and --version
    }
    // Under a Wayland session with XWayland beside it, X11 is where the
    // windows can keep their places and the controller stays on top; a
    // platform the user chose wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // Shared-memory images make every repaint wait for the X server to be
    // done with the last one: a round trip on each tick that shows the
    // position. Small repaints are cheaper sent as they are.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/quavette.svg")));
    app.setQuitOnLastWindowClosed(false);

    const QList<QByteArray> files = ParseCommandLine(app, argc, argv);
    SingleInstance instance;
    switch (instance.Claim(files)) {
    case SingleInstance::Start::First:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::NoAnswer: {
        const QString text = QStringLiteral("Quavette is running already but does not answer.");
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
        ShowMessage({ApplicationName(), text, MsgIcon::Warning, QMessageBox::Ok});
        return 1;
    }
    }

    // The SoundFont loads while the windows are made, so the first Play does
    // not wait for it.
    PreloadSoundFont();

    AppWindows windows = CreateAppWindows();
    QObject::connect(windows.main.get(), &TFrm_main::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    DesktopServices services(instance, files);

    // Told to end by the desktop, the program closes as File > Exit does,
    // asking nothing.
    QuitRequests quitRequests;
    const auto quit = [&windows] { QuitWithoutAsking(windows.main.get()); };
    QObject::connect(&quitRequests, &QuitRequests::requested, &app, quit);
    // The session manager's quit ends the event loop with the window still
    // open (a checkpoint, or a logout that may yet be cancelled, changes
    // nothing).
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&windows] {
        if (windows.main && windows.main->isVisible()) {
            SetMessagesToStandardError(true);
            windows.main->close();
        }
    });

    windows.main->show();
    return app.exec();
}
