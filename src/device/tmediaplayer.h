// The media player component: the one object through which every song is
// played. It keeps the component's own rules (open state, auto-rewind, the
// resume fallback, the refusal of commands with no song open) above the
// sequencer.
#pragma once

#include "device/deviceerror.h"
#include "device/sequencer.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class EMCIDeviceError : public EDeviceError
{
public:
    explicit EMCIDeviceError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

// The only time format the program uses.
constexpr int MCI_FORMAT_MILLISECONDS = 0;

class TMediaPlayer
{
public:
    // nullptr: the real FluidSynth sequencer.
    explicit TMediaPlayer(std::unique_ptr<ISequencer> sequencer = nullptr);
    ~TMediaPlayer(); // closes a song that is still open
    TMediaPlayer(const TMediaPlayer &) = delete;
    TMediaPlayer &operator=(const TMediaPlayer &) = delete;

    // Path of the song to open, as bytes. Writing it does nothing else.
    QByteArray FileName;
    bool AutoRewind = true;
    int LastError = 0;

    bool IsOpen() const { return m_isOpen; }

    void Open();   // closes an open song first; raises EMCIDeviceError
    void Close();  // never raises
    void Play();   // needs an open song
    void Pause();  // needs an open song
    void Resume(); // needs an open song; falls back to Play when refused
    void Stop();   // needs an open song
    void SetPosition(int ms); // needs an open song
    void SetTimeFormat(int format); // no check
    int Length();  // needs an open song
    int Position() const; // no check
    TPlayerMode Mode() const; // no check

    // Called at once, on the audio thread, each time the playing song
    // reaches its end (see ISequencer::setSongEndHandler): the owner queues a
    // call to itself rather than waiting for its next poll.
    void setSongEndHandler(std::function<void()> handler);

    // The SoundFont songs play with, loaded in the background, and the one
    // in use (see ISequencer::setSoundFont and soundFont). Never raise.
    void setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done);
    QByteArray soundFont() const;
    // Whether songs opened from now on play their loops (ISequencer::setPlayLoops).
    void setPlayLoops(bool on);


private:
    void requireOpen() const;
    void playFromCurrent();

    std::unique_ptr<ISequencer> m_sequencer;
    bool m_isOpen = false;
};
