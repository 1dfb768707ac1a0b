// One running program per user and settings: a second start hands its files
// to the first over a local socket in $XDG_RUNTIME_DIR and ends. Two
// instances would each write the settings and "list.qvt" at close, and the
// last to close would silently overwrite the other's playlist.
//
// The running instance holds a lock file for as long as it runs, so that a
// later start knows there is one even when it cannot reach it (flooded,
// stopped, busy): it then says so and ends, and never becomes a second one.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `serverName`: empty for the one of this user's settings.
    explicit SingleInstance(QString serverName = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Start { First, HandedOver, NoAnswer };
    // Hands `files` to a running instance, or becomes the running instance
    // when there is none. A socket or lock left by a crashed instance is
    // replaced.
    Start Claim(const QList<QByteArray> &files);

    // Files that came before this are held until it is called: the windows
    // are being made (and a message box at start-up runs the event loop).
    void Ready();

    // Stops taking files from later starts (the program is closing).
    void Release();

    QString ServerName() const { return m_name; }

    // What a connection may take: its whole request within RequestMs, at
    // most MaxRequestBytes; at most MaxConnections at a time, the oldest
    // dropped for a new one.
    static constexpr int RequestMs = 2000;
    static constexpr int MaxConnections = 16;
    static constexpr qint64 MaxRequestBytes = 4 * 1024 * 1024;

Q_SIGNALS:
    // A later start has handed over its files (maybe none).
    void received(const QList<QByteArray> &files);

private:
    struct Connection;
    Start handOver(const QList<QByteArray> &files);
    bool listen();
    void watchServer();
    void reopen();
    void accept();
    void readFrom(QLocalSocket *socket);
    void drop(QLocalSocket *socket);
    void take(const QList<QByteArray> &files);

    QString m_name;
    std::unique_ptr<QLockFile> m_running;
    QLocalServer *m_server = nullptr;
    bool m_released = false;
    int m_reopenDelayMs = 0;
    bool m_ready = false;
    QList<QList<QByteArray>> m_held;
    QList<QLocalSocket *> m_connections; // oldest first
};
