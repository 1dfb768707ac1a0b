#include "gui/quitrequests.h"

#include "gui/messages.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A signal handler may only write to a pipe; the event loop reads it.
int g_pipe[2] = {-1, -1};
const int Signals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onSignal(int signal)
{
    const char byte = char(signal);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitRequests::QuitRequests(QObject *parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitRequests::take);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

QuitRequests::~QuitRequests()
{
    for (const int signal : Signals)
        std::signal(signal, SIG_DFL);
    delete m_notifier;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitRequests::take()
{
    char drained[64];
    while (::read(g_pipe[0], drained, sizeof drained) > 0) {
    }
    if (m_requested)
        return;
    m_requested = true;
    Q_EMIT requested();
}

void QuitWithoutAsking(QWidget *main)
{
    SetMessagesToStandardError(true);
    // A box or a dialog that is open holds its own event loop: it goes first.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    if (main)
        main->close();
    QCoreApplication::exit(0);
}
