#include "gui/desktopservices.h"

#include "gui/fileopener.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/mpris.h"
#include "gui/singleinstance.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTimer>

namespace {

// Files come while a message box or a file dialog may be open; they wait
// until it is closed, as a person's next command would.
void openWhenNoBoxIsOpen(QObject *context, const QList<QByteArray> &files)
{
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(200, context, [context, files] { openWhenNoBoxIsOpen(context, files); });
        return;
    }
    Dispatch([&files] {
        if (Frm_main)
            OpenFiles(*Frm_main, files, AfterAdding::PlayFirst);
    });
}

} // namespace

void RaiseMainWindow()
{
    if (!Frm_main)
        return;
    Frm_main->setWindowState(Frm_main->windowState() & ~Qt::WindowMinimized);
    Frm_main->show();
    Frm_main->raise();
    Frm_main->activateWindow();
    // An open message box stays in front of its window.
    if (QWidget *box = QApplication::activeModalWidget()) {
        box->raise();
        box->activateWindow();
    }
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
        [this](const QList<QByteArray> &received) {
            Dispatch(RaiseMainWindow);
            if (!received.isEmpty())
                openWhenNoBoxIsOpen(this, received);
        },
        Qt::QueuedConnection);
    connect(Frm_main, &TFrm_main::closed, &instance, &SingleInstance::Release);

    if (!files.isEmpty())
        QTimer::singleShot(0, this, [this, files] { openWhenNoBoxIsOpen(this, files); });
    // After this start's own files: those of starts that came meanwhile.
    instance.Ready();
}
