#include "gui/singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>

#include <utility>

namespace {

constexpr int ConnectMs = 1000;
constexpr int AnswerMs = 5000;
const char Acknowledged = '\x06';

// One server per settings file and data folder: only instances that share
// them must not run side by side.
QString defaultServerName()
{
    const QByteArray profile = QSettings().fileName().toUtf8() + '\n'
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
    // Two starts at once: the second waits until the first listens. A lock
    // left by a crashed process is taken over.
    const QString lockName = m_name + QStringLiteral(".lock");
    QLockFile lock(QDir::isAbsolutePath(lockName) ? lockName : QDir::tempPath() + QLatin1Char('/') + lockName);
    // A start that hangs holding it must not keep the others out for good.
    lock.tryLock(AnswerMs);

    const Start start = handOver(files);
    if (start != Start::First)
        return start;
    // No one answered: whatever is left there belongs to no running instance.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // Without a server the program still runs, only alone.
    m_server->listen(m_name);
    return Start::First;
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
    if (m_server)
        m_server->close();
}

SingleInstance::Start SingleInstance::handOver(const QList<QByteArray> &files)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(ConnectMs))
        return Start::First;
    socket.write(frame(files));
    if (!socket.waitForBytesWritten(AnswerMs))
        return Start::NoAnswer;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(AnswerMs))
            return Start::NoAnswer;
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == Acknowledged ? Start::HandedOver : Start::NoAnswer;
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    QDataStream in(socket);
    in.startTransaction();
    QByteArray body;
    in >> body;
    if (!in.commitTransaction())
        return; // the rest is still on its way
    QList<QByteArray> files;
    QDataStream unpack(body);
    unpack >> files;
    socket->putChar(Acknowledged);
    socket->flush();
    socket->disconnectFromServer();
    if (m_ready)
        Q_EMIT received(files);
    else
        m_held.append(files);
}
