#include "device/tmediaplayer.h"

#include "device/fluidsequencer.h"

namespace {
const char *const NoDeviceText = "MCI デバイスがありません";
}

EMCIDeviceError::EMCIDeviceError(const QString &message)
    : EDeviceError(message.toStdString())
{
}

TMediaPlayer::TMediaPlayer(std::unique_ptr<ISequencer> sequencer)
    : m_sequencer(sequencer ? std::move(sequencer) : CreateDefaultSequencer())
{
}

TMediaPlayer::~TMediaPlayer()
{
    Close();
    m_sequencer->setSongEndHandler({});
}

void TMediaPlayer::setSongEndHandler(std::function<void()> handler)
{
    m_sequencer->setSongEndHandler(std::move(handler));
}

void TMediaPlayer::setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done)
{
    m_sequencer->setSoundFont(path, std::move(done));
}

void TMediaPlayer::setPlayLoops(bool on)
{
    m_sequencer->setPlayLoops(on);
}

QByteArray TMediaPlayer::soundFont() const
{
    return m_sequencer->soundFont();
}

void TMediaPlayer::requireOpen() const
{
    if (!m_isOpen)
        throw EMCIDeviceError(QString::fromUtf8(NoDeviceText));
}

void TMediaPlayer::Open()
{
    if (m_isOpen)
        Close();
    try {
        m_sequencer->open(FileName);
    } catch (const EDeviceError &e) {
        LastError = 1;
        throw EMCIDeviceError(QString::fromUtf8(e.what()));
    }
    LastError = 0;
    m_isOpen = true;
}

void TMediaPlayer::Close()
{
    if (!m_isOpen)
        return;
    m_sequencer->close();
    LastError = 0;
    m_isOpen = false;
}

void TMediaPlayer::playFromCurrent()
{
    if (AutoRewind && m_sequencer->position() == m_sequencer->length())
        m_sequencer->seek(0);
    LastError = m_sequencer->play() ? 0 : 1;
}

void TMediaPlayer::Play()
{
    requireOpen();
    playFromCurrent();
}

void TMediaPlayer::Pause()
{
    requireOpen();
    LastError = m_sequencer->pause() ? 0 : 1;
}

void TMediaPlayer::Resume()
{
    requireOpen();
    if (m_sequencer->resume()) {
        LastError = 0;
        return;
    }
    LastError = 1;
    playFromCurrent();
}

void TMediaPlayer::Stop()
{
    requireOpen();
    LastError = m_sequencer->stop() ? 0 : 1;
}

void TMediaPlayer::SetPosition(int ms)
{
    requireOpen();
    LastError = m_sequencer->seek(ms) ? 0 : 1;
}

void TMediaPlayer::SetTimeFormat(int format)
{
    // Positions and lengths are always milliseconds; any other format is
    // refused the way a device refuses an unknown format: silently.
    LastError = format == MCI_FORMAT_MILLISECONDS ? 0 : 1;
}

int TMediaPlayer::Length()
{
    requireOpen();
    return m_sequencer->length();
}

int TMediaPlayer::Position() const
{
    return m_sequencer->position();
}

TPlayerMode TMediaPlayer::Mode() const
{
    return m_sequencer->mode();
}
