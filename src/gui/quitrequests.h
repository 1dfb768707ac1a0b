// The desktop asking the program to end: SIGTERM (a logout, systemd at
// shutdown, kill), SIGINT, SIGHUP. The program
// then closes as File > Exit does, so that the settings and "list.qvt" are
// stored, without asking anything: what the close would show in a box goes
// to standard error.
#pragma once

#include <QObject>

class QSocketNotifier;

class QuitRequests : public QObject
{
    Q_OBJECT

public:
    // Catches the signals for as long as it lives (one at a time).
    explicit QuitRequests(QObject *parent = nullptr);
    ~QuitRequests() override;

Q_SIGNALS:
    // Once, however many signals come.
    void requested();

private:
    void take();

    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
};

class QWidget;
// Closes `main` as File > Exit does, with nothing interactive, then ends the
// event loop whether or not the close went through.
void QuitWithoutAsking(QWidget *main);
