// The sequencer interface that TMediaPlayer drives: one song at a time,
// positions and lengths in milliseconds. The real one schedules events into
// FluidSynth; tests of the playback engine use a fake behind the same calls.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

enum class TPlayerMode {
    pmNotReady = 0,
    pmStopped,
    pmPlaying,
    pmRecording,
    pmSeeking,
    pmPaused,
    pmOpen,
};

class ISequencer
{
public:
    virtual ~ISequencer() = default;

    // Loads the song at `path` (the file's bytes as the file system names it)
    // and leaves it at its start, not playing. A failure throws EDeviceError
    // (EMidiFileError for the song itself) with a short English text; then
    // nothing is open.
    virtual void open(const QByteArray &path) = 0;
    // Releases the open song (held notes are released); nothing open: no-op.
    virtual void close() = 0;

    // Each returns false when the sequencer refuses the command.
    virtual bool play() = 0;   // from the current position
    virtual bool pause() = 0;  // keeps the position, mode becomes pmPaused
    virtual bool resume() = 0; // only from pmPaused; refused otherwise
    virtual bool stop() = 0;   // keeps the position, mode becomes pmStopped
    virtual bool seek(int ms) = 0; // stops at ms (clipped to 0..length)

    // Status queries: called every millisecond from the GUI thread, so they
    // must be cheap and never wait for the audio thread.
    virtual TPlayerMode mode() const = 0;  // pmNotReady while nothing is open
    virtual int position() const = 0;      // 0 while nothing is open
    virtual int length() const = 0;        // 0 while nothing is open

    // `handler` is called once each time the playing song reaches its end,
    // at the moment mode() turns to pmStopped, so that the owner can move on
    // at once instead of waiting for its next poll. It runs on the thread
    // that plays the audio (the sequencer's audio thread, or whoever renders),
    // with no lock of the sequencer's held: it may read mode() and position()
    // but must not give commands; it should only pass the news on, e.g. as a
    // queued call to the GUI thread. An empty function removes it.
    virtual void setSongEndHandler(std::function<void()> handler) = 0;

    // The SoundFont songs play with from now on; empty: the first of the
    // discovery list. It loads in the background; once loaded, a playing song
    // goes on with it at once (chased as after a seek) unless the song has
    // its own SoundFont beside it. `done` gets an empty text, or the reason
    // the font was refused (the font in use then stays); it runs on the
    // loading thread, with no lock held, and must only pass the news on.
    virtual void setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done) = 0;
    // The SoundFont in use: the open song's own, else the one chosen, else
    // the first of the discovery list (empty when there is none).
    virtual QByteArray soundFont() const = 0;

    // Whether the songs opened from now on play their loops (Song::loopUs):
    // the intro, the loop twice, then the loop fading out, their length and
    // position counting all of it. Off: loops play as they stand, once.
    virtual void setPlayLoops(bool on) = 0;
};
