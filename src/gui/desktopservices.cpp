#include "gui/desktopservices.h"

#include "gui/fileopener.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/mpris.h"
#include "gui/singleinstance.h"

#include <QDBusConnection>
#include <QTimer>

void RaiseMainWindow()
{
    if (!Frm_main)
        return;
    Frm_main->setWindowState(Frm_main->windowState() & ~Qt::WindowMinimized);
    Frm_main->show();
    Frm_main->raise();
    Frm_main->activateWindow();
}

DesktopServices::DesktopServices(SingleInstance &instance, const QList<QByteArray> &files, QObject *parent)
    : QObject(parent)
{
    // Without a session bus there are no media controls; nothing else changes.
    m_mpris = new MprisService(this);
    m_mpris->Register(QDBusConnection::sessionBus());

    // Queued: the socket's handler has answered and is done before a message
    // box can open.
    connect(
        &instance, &SingleInstance::received, this,
        [](const QList<QByteArray> &received) {
            Dispatch([&received] {
                RaiseMainWindow();
                if (Frm_main && !received.isEmpty())
                    OpenFiles(*Frm_main, received, AfterAdding::PlayFirst);
            });
        },
        Qt::QueuedConnection);
    connect(Frm_main, &TFrm_main::closed, &instance, &SingleInstance::Release);

    if (!files.isEmpty()) {
        QTimer::singleShot(0, this, [files] {
            Dispatch([&files] {
                if (Frm_main)
                    OpenFiles(*Frm_main, files, AfterAdding::PlayFirst);
            });
        });
    }
    // After this start's own files: those of starts that came meanwhile.
    instance.Ready();
}
