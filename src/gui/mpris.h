// Media keys and the desktop's media controls: MPRIS 2 on the session bus as
// org.mpris.MediaPlayer2.quavette. Every command runs the designed command a
// person would use (a button of either window, a menu item), so states,
// titles and messages are the designed ones; every property is read from the
// flags that carry the player's state.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QElapsedTimer>
#include <QObject>
#include <QVariantMap>

#include <functional>

class MprisPlayerAdaptor;

class MprisService : public QObject, protected QDBusContext
{
    Q_OBJECT

public:
    explicit MprisService(QObject *parent = nullptr);

    // Offers the service on `bus`; false when there is no bus to offer it on.
    bool Register(const QDBusConnection &bus);

    // Root interface.
    void Raise();
    void Quit();

    // Player interface. Commands run after the call has been answered (a
    // message box a command shows must not hold the caller), and not at all
    // while a modal box is open.
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QString &trackId, qlonglong positionUs);
    // Refused: SupportedUriSchemes is empty, songs come from the command
    // line and by drag and drop.
    void OpenUri();
    // Answers the call being served with an error.
    void Refuse(QDBusError::ErrorType type, const QString &text);

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    void SetLoopStatus(const QString &status);
    bool Shuffle() const;
    void SetShuffle(bool shuffle);
    QVariantMap Metadata() const;
    qlonglong Position() const;
    bool CanGoNext() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;

private:
    // The song the player has loaded: what Metadata describes.
    struct Track {
        QByteArray path;
        int index = -1;
        bool operator==(const Track &) const = default;
    };
    // What PropertiesChanged reports.
    struct Watched {
        QString status;
        QString loop;
        bool shuffle = false;
        bool canGoNext = false;
        bool canPlay = false;
        bool canPause = false;
        bool canSeek = false;
        quint64 track = 0;
        bool operator==(const Watched &) const = default;
    };
    Track currentTrack() const;
    Watched watched() const;
    QVariantMap buildMetadata() const;
    // What the bus asks for, acted on once the calls that came with it are in.
    struct Command {
        enum Kind { Other, Move, SeekBy, SeekTo } kind;
        qlonglong amount = 0; // songs moved, microseconds
        std::function<void()> other;
    };
    void later(std::function<void()> command);
    void queue(Command command);
    void runQueued();
    void run(const Command &command);
    QList<Command> m_queued;
    void seekTo(qlonglong ms);
    // After the player's news, once the command behind it is over: one
    // PropertiesChanged for what changed, Seeked when the position jumped.
    void refreshSoon();
    void refresh();

    QDBusConnection m_bus;
    MprisPlayerAdaptor *m_player = nullptr;
    Watched m_shown;
    Track m_track;
    quint64 m_trackNumber = 0;
    QVariantMap m_metadata;
    qlonglong m_lastPositionMs = 0;
    bool m_wasPlaying = false;
    bool m_seekAsked = false;
    bool m_refreshQueued = false;
    QElapsedTimer m_sinceRefresh;
};
