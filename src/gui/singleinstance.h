// One running program per user and settings: a second start hands its files
// to the first over a local socket in $XDG_RUNTIME_DIR and ends. Two
// instances would each write the settings and "list.qvt" at close, and the
// last to close would silently overwrite the other's playlist.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `serverName`: empty for the one of this user's settings.
    explicit SingleInstance(QString serverName = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Start { First, HandedOver, NoAnswer };
    // Hands `files` to a running instance, or becomes the running instance
    // when there is none. A socket left by a crashed instance is replaced.
    Start Claim(const QList<QByteArray> &files);

    // Files that came before this are held until it is called: the windows
    // are being made (and a message box at start-up runs the event loop).
    void Ready();

    // Stops taking files from later starts (the program is closing).
    void Release();

    QString ServerName() const { return m_name; }

Q_SIGNALS:
    // A later start has handed over its files (maybe none).
    void received(const QList<QByteArray> &files);

private:
    Start handOver(const QList<QByteArray> &files);
    void accept();
    void readFrom(QLocalSocket *socket);

    QString m_name;
    QLocalServer *m_server = nullptr;
    bool m_ready = false;
    QList<QList<QByteArray>> m_held;
};
