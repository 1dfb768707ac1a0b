#include "gui/mpris.h"


#include "core/fileurl.h"
#include "core/playlist.h"
#include "device/lyrics.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/desktopservices.h"
#include "gui/lyrics/lyricswindow.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/mprisadaptors.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString ServiceName = QStringLiteral("org.mpris.MediaPlayer2.quavette");
const QString Playing = QStringLiteral("Playing");
const QString Paused = QStringLiteral("Paused");
const QString Stopped = QStringLiteral("Stopped");
// A jump of the position that playing does not explain is a seek.
constexpr qlonglong SeekToleranceMs = 1000;

// A song was started and not stopped by command.
bool loaded()
{
    return Frm_main && Frm_main->state() != PlayerState::Idle;
}

bool songOpen()
{
    return Frm_main && Frm_main->songOpen();
}

} // namespace

MprisService::MprisService(QObject *parent)
    : QObject(parent)
    , m_bus(QString())
{
}

bool MprisService::Register(const QDBusConnection &bus)
{
    if (!bus.isConnected() || !Frm_main || !Frm_ctrl)
        return false;
    m_bus = bus;
    new MprisRootAdaptor(this);
    m_player = new MprisPlayerAdaptor(this);
    new MprisPropertiesAdaptor(this);
    if (!m_bus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    // A second program of this user with other settings takes the name the
    // MPRIS interface gives for more than one instance.
    if (!m_bus.registerService(ServiceName)
        && !m_bus.registerService(ServiceName + QStringLiteral(".instance")
                                  + QString::number(QCoreApplication::applicationPid()))) {
        m_bus.unregisterObject(ObjectPath);
        return false;
    }
    m_track = currentTrack();
    m_metadata = buildMetadata();
    m_shown = watched();
    m_lastPositionMs = Position() / 1000;
    m_wasPlaying = m_shown.status == Playing;
    m_sinceRefresh.start();
    // What is shown follows the player's news; a tick costs nothing here.
    for (auto news : {&TFrm_main::currentSongChanged, &TFrm_main::optionsChanged, &TFrm_main::playlistChanged,
                      &TFrm_main::positionJumped})
        connect(Frm_main, news, this, &MprisService::refreshSoon);
    connect(Frm_main, &TFrm_main::stateChanged, this, &MprisService::refreshSoon);
    return true;
}

void MprisService::Raise()
{
    // Also over a message box: the person then sees it.
    QMetaObject::invokeMethod(this, [] { Dispatch(RaiseMainWindow); }, Qt::QueuedConnection);
}

void MprisService::Quit()
{
    later([] { Frm_main->quit(); });
}

void MprisService::Next()
{
    queue({Command::Move, 1, {}});
}

void MprisService::Previous()
{
    queue({Command::Move, -1, {}});
}

void MprisService::Pause()
{
    later([] { Frm_main->pause(); });
}

void MprisService::PlayPause()
{
    later([this] {
        if (PlaybackStatus() == Playing)
            Frm_main->pause();
        else
            Frm_main->play();
    });
}

void MprisService::Stop()
{
    later([] { Frm_main->stop(); });
}

void MprisService::Play()
{
    later([] { Frm_main->play(); });
}

void MprisService::Seek(qlonglong offsetUs)
{
    queue({Command::SeekBy, offsetUs, {}});
}

void MprisService::SetPosition(const QString &trackId, qlonglong positionUs)
{
    // A position for a song that has gone since the caller looked is stale.
    if (!CanSeek() || trackId != m_metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path())
        return;
    queue({Command::SeekTo, positionUs, {}});
}

void MprisService::OpenUri()
{
    Refuse(QDBusError::NotSupported, QStringLiteral("Opening a URI is not supported."));
}

void MprisService::Refuse(QDBusError::ErrorType type, const QString &text)
{
    if (calledFromDBus())
        sendErrorReply(type, text);
}

void MprisService::seekTo(qlonglong ms)
{
    // As a person does it: the seek bar to the place, then "&Change!".
    m_seekAsked = true;
    Frm_ctrl->ChangeTo(int(ms));
}

QString MprisService::PlaybackStatus() const
{
    switch (Frm_main ? Frm_main->state() : PlayerState::Idle) {
    case PlayerState::Playing:
        return Playing;
    case PlayerState::Paused:
        return Paused;
    case PlayerState::Idle:
    case PlayerState::Halted:
        break;
    }
    return Stopped;
}

QString MprisService::LoopStatus() const
{
    // "Repea&t" is the only loop a person can switch; "Playlist" is taken as
    // "None" when written, since the list always starts again anyway.
    return Frm_main && Frm_main->repeat() ? QStringLiteral("Track") : QStringLiteral("None");
}

void MprisService::SetLoopStatus(const QString &status)
{
    if (status != QLatin1String("Track") && status != QLatin1String("Playlist") && status != QLatin1String("None"))
        return;
    later([repeat = status == QLatin1String("Track")] { Frm_main->setRepeat(repeat); });
}

bool MprisService::Shuffle() const
{
    return Frm_main && Frm_main->shuffle();
}

void MprisService::SetShuffle(bool shuffle)
{
    later([shuffle] { Frm_main->setShuffle(shuffle); });
}

QVariantMap MprisService::Metadata() const
{
    return m_metadata;
}

qlonglong MprisService::Position() const
{
    return songOpen() ? qlonglong(Frm_main->position()) * 1000 : 0;
}

bool MprisService::CanGoNext() const
{
    return loaded();
}

bool MprisService::CanPlay() const
{
    if (!Frm_main)
        return false;
    const PlayerState state = Frm_main->state();
    return state == PlayerState::Playing || state == PlayerState::Paused || !Playlist.Items.isEmpty();
}

bool MprisService::CanPause() const
{
    // "Pau&se" is enabled.
    if (!Frm_main)
        return false;
    const PlayerState state = Frm_main->state();
    return state == PlayerState::Playing || state == PlayerState::Halted;
}

bool MprisService::CanSeek() const
{
    return songOpen();
}

MprisService::Track MprisService::currentTrack() const
{
    return loaded() ? Track{CurrentSongPath, CurrentIndex} : Track{};
}

MprisService::Watched MprisService::watched() const
{
    return {PlaybackStatus(), LoopStatus(), Shuffle(), CanGoNext(), CanPlay(), CanPause(), CanSeek(), m_trackNumber};
}

QVariantMap MprisService::buildMetadata() const
{
    if (m_track.path.isEmpty())
        return {};
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/kestrix/Quavette/Track/")
                                                        + QString::number(m_trackNumber))));
    metadata.insert(QStringLiteral("xesam:title"), DecodePath(SplitPath(m_track.path, PathPart::Name)));
    metadata.insert(QStringLiteral("xesam:url"), QString::fromLatin1(FileUrl(m_track.path).toEncoded()));
    if (const auto words = LyricsOfSong(m_track.path); words && !words->empty())
        metadata.insert(QStringLiteral("xesam:asText"), QString::fromStdString(words->plainText()));
    if (songOpen()) {
        try {
            metadata.insert(QStringLiteral("mpris:length"), qlonglong(Frm_main->length()) * 1000);
        } catch (const EMCIDeviceError &) {
        }
    }
    return metadata;
}

void MprisService::later(std::function<void()> command)
{
    queue({Command::Other, 0, std::move(command)});
}

void MprisService::queue(Command command)
{
    // A burst is worked out before it is acted on: Next and Previous in a row
    // are one move by their sum, seeks in a row one seek by their sum, and of
    // positions set in a row the last; each song is opened once at most.
    if (!m_queued.isEmpty() && m_queued.last().kind == command.kind && command.kind != Command::Other) {
        Command &last = m_queued.last();
        last.amount = command.kind == Command::SeekTo ? command.amount : last.amount + command.amount;
    } else {
        m_queued.append(std::move(command));
    }
    if (m_queued.size() == 1)
        QMetaObject::invokeMethod(this, &MprisService::runQueued, Qt::QueuedConnection);
}

void MprisService::runQueued()
{
    const QList<Command> commands = std::exchange(m_queued, {});
    for (const Command &command : commands) {
        // A person cannot press a button while a message box or a file
        // dialog is open; neither can a media key.
        if (!Frm_main || !Frm_ctrl || QApplication::activeModalWidget())
            continue;
        Dispatch([this, &command] { run(command); });
    }
}

void MprisService::run(const Command &command)
{
    switch (command.kind) {
    case Command::Other:
        command.other();
        return;
    case Command::Move:
        Frm_main->skip(int(std::clamp<qlonglong>(command.amount, -1000000, 1000000)));
        return;
    case Command::SeekBy: {
        if (!CanSeek())
            return;
        const qlonglong target = Frm_main->position() + command.amount / 1000;
        // Past the end is the next song, as MPRIS asks.
        if (target > Frm_main->length())
            Frm_main->next();
        else
            seekTo(std::max<qlonglong>(0, target));
        return;
    }
    case Command::SeekTo: {
        if (!CanSeek() || command.amount < 0)
            return;
        const qlonglong ms = command.amount / 1000;
        const int length = Frm_main->length();
        // The very end ends the song, as playing to it does.
        if (ms == length)
            Frm_main->next();
        else if (ms < length)
            seekTo(ms);
        return;
    }
    }
}

void MprisService::refreshSoon()
{
    if (std::exchange(m_refreshQueued, true))
        return;
    QMetaObject::invokeMethod(this, &MprisService::refresh, Qt::QueuedConnection);
}

void MprisService::refresh()
{
    m_refreshQueued = false;
    if (!Frm_main)
        return;
    const Track track = currentTrack();
    const bool sameTrack = track == m_track;
    if (!sameTrack) {
        m_track = track;
        ++m_trackNumber;
        m_metadata = buildMetadata();
    }

    const Watched now = watched();
    if (!(now == m_shown)) {
        QVariantMap changed;
        if (now.status != m_shown.status)
            changed.insert(QStringLiteral("PlaybackStatus"), now.status);
        if (now.loop != m_shown.loop)
            changed.insert(QStringLiteral("LoopStatus"), now.loop);
        if (now.shuffle != m_shown.shuffle)
            changed.insert(QStringLiteral("Shuffle"), now.shuffle);
        if (now.canGoNext != m_shown.canGoNext) {
            changed.insert(QStringLiteral("CanGoNext"), now.canGoNext);
            changed.insert(QStringLiteral("CanGoPrevious"), now.canGoNext);
        }
        if (now.canPlay != m_shown.canPlay)
            changed.insert(QStringLiteral("CanPlay"), now.canPlay);
        if (now.canPause != m_shown.canPause)
            changed.insert(QStringLiteral("CanPause"), now.canPause);
        if (now.canSeek != m_shown.canSeek)
            changed.insert(QStringLiteral("CanSeek"), now.canSeek);
        if (now.track != m_shown.track)
            changed.insert(QStringLiteral("Metadata"), m_metadata);
        m_shown = now;
        QDBusMessage signal = QDBusMessage::createSignal(ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
        m_bus.send(signal);
    }

    const qlonglong positionMs = Position() / 1000;
    if (sameTrack && songOpen()) {
        const qlonglong expected = m_lastPositionMs + (m_wasPlaying ? m_sinceRefresh.elapsed() : 0);
        if (m_seekAsked || std::abs(positionMs - expected) > SeekToleranceMs)
            Q_EMIT m_player->Seeked(positionMs * 1000);
    }
    m_seekAsked = false;
    m_lastPositionMs = positionMs;
    m_wasPlaying = now.status == Playing;
    m_sinceRefresh.restart();
}
