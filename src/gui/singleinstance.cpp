#include "gui/singleinstance.h"

#include "core/settingsstore.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <utility>

namespace {

// A start may find the running one still making its windows, or busy.
constexpr int AnswerMs = 5000;
constexpr int RetryMs = 100;
constexpr int ReopenMaxDelayMs = 2000;

// The exchange: the later start sends its request; the running one answers
// Received once it has it whole; the later start, still there, says Go; only
// then are the files taken. A start that gave up (and said so) before Go
// leaves nothing to be taken later.
const char Received = '\x06';
const char Go = '\x01';
const char *const StateProperty = "quavetteRequest";

// One server per settings file and data folder: only instances that share
// them must not run side by side. The settings file is only named here,
// never opened: it may be something that blocks (a FIFO).
QString defaultServerName()
{
    const QByteArray profile = SettingsStore::FilePath().toUtf8() + '\n'
        + QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toUtf8();
    const QString id = QString::fromLatin1(QCryptographicHash::hash(profile, QCryptographicHash::Sha1).toHex().left(12));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QStringLiteral("quavette-") + id : folder + QStringLiteral("/quavette-") + id;
}

QByteArray frame(const QList<QByteArray> &files)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << files;
    QByteArray framed;
    QDataStream framing(&framed, QIODevice::WriteOnly);
    framing << body;
    return framed;
}

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent)
    , m_name(serverName.isEmpty() ? defaultServerName() : std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Start SingleInstance::Claim(const QList<QByteArray> &files)
{
    const QString lockName = m_name + QStringLiteral(".lock");
    m_running = std::make_unique<QLockFile>(QDir::isAbsolutePath(lockName) ? lockName
                                                                           : QDir::tempPath() + QLatin1Char('/') + lockName);
    // Held for as long as the instance runs: never stale by age, only when
    // the process that holds it is gone.
    m_running->setStaleLockTime(0);
    if (!m_running->tryLock(0)) {
        m_running.reset();
        return handOver(files);
    }
    // No one runs: whatever is left there belongs to no running instance.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Each connection is taken at once; the limit is kept here.
    m_server->setMaxPendingConnections(1);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // Without a server the program still runs; the lock keeps it alone.
    listen();
    return Start::First;
}

bool SingleInstance::listen()
{
    if (!m_server->listen(m_name))
        return false;
    m_reopenDelayMs = 0;
    watchServer();
    return true;
}

void SingleInstance::watchServer()
{
    // QLocalServer closes for good, and removes its socket, when an accept
    // fails (no file descriptor left, say); its notifier goes with it. The
    // server is then opened again, ever more slowly while that fails.
    if (auto *notifier = m_server->findChild<QSocketNotifier *>())
        connect(notifier, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, &SingleInstance::reopen); });
}

void SingleInstance::reopen()
{
    if (m_released || m_server->isListening() || listen())
        return;
    m_reopenDelayMs = std::min(ReopenMaxDelayMs, std::max(50, m_reopenDelayMs * 2));
    QTimer::singleShot(m_reopenDelayMs, this, &SingleInstance::reopen);
}

void SingleInstance::Ready()
{
    m_ready = true;
    const QList<QList<QByteArray>> held = std::exchange(m_held, {});
    for (const QList<QByteArray> &files : held)
        Q_EMIT received(files);
}

void SingleInstance::Release()
{
    m_released = true;
    if (m_server)
        m_server->close();
}

SingleInstance::Start SingleInstance::handOver(const QList<QByteArray> &files)
{
    const QByteArray request = frame(files);
    const QDeadlineTimer deadline(AnswerMs);
    // The running one may not listen yet, or be full: try again until the
    // deadline.
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(m_name);
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return Start::NoAnswer;
        QThread::msleep(RetryMs);
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
            return Start::NoAnswer;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return Start::NoAnswer; // the socket closes unconfirmed: nothing is taken
    }
    char answer = 0;
    socket.getChar(&answer);
    if (answer != Received)
        return Start::NoAnswer;
    socket.putChar(Go);
    if (!socket.waitForBytesWritten(AnswerMs))
        return Start::NoAnswer;
    socket.disconnectFromServer();
    return Start::HandedOver;
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_connections.size() >= MaxConnections)
            drop(m_connections.front());
        m_connections.append(socket);
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        QTimer::singleShot(RequestMs, socket, [this, socket] { drop(socket); });
        readFrom(socket);
    }
}

void SingleInstance::drop(QLocalSocket *socket)
{
    if (!m_connections.removeOne(socket))
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    if (!m_connections.contains(socket))
        return;
    const QVariant state = socket->property(StateProperty);
    if (state.isValid()) {
        // Received was sent: the files are taken on Go, and only then.
        char go = 0;
        if (socket->bytesAvailable() < 1)
            return;
        socket->getChar(&go);
        const QList<QByteArray> files = state.value<QList<QByteArray>>();
        drop(socket);
        if (go == Go)
            take(files);
        return;
    }
    if (socket->bytesAvailable() < 4)
        return;
    char size[4];
    socket->peek(size, 4);
    quint32 length = qFromBigEndian<quint32>(size);
    if (length == 0xFFFFFFFFu) // a null array: no files
        length = 0;
    if (length > MaxRequestBytes) {
        drop(socket);
        return;
    }
    if (socket->bytesAvailable() < 4 + qint64(length))
        return; // the rest is still on its way
    socket->skip(4);
    const QByteArray body = socket->read(length);
    QList<QByteArray> files;
    QDataStream unpack(body);
    unpack >> files;
    if (unpack.status() != QDataStream::Ok) {
        drop(socket);
        return;
    }
    socket->setProperty(StateProperty, QVariant::fromValue(files));
    socket->putChar(Received);
    socket->flush();
    readFrom(socket); // Go may have come with the request
}

void SingleInstance::take(const QList<QByteArray> &files)
{
    if (m_ready)
        Q_EMIT received(files);
    else
        m_held.append(files);
}
