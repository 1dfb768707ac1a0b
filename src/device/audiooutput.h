// Where the sequencer's sound goes: a stream to the desktop's sound server,
// opened when a song starts and closed by itself once all is silent, so that
// an idle player costs neither it nor the sound server anything.
#pragma once

#include <cstdint>
#include <optional>

// What an output plays; called on the output's own thread, with the output
// locked.
class AudioSource
{
public:
    virtual ~AudioSource() = default;
    // Renders up to `frames` frames of planar stereo and returns how many it
    // rendered: fewer when the playing song reached its end on the last of
    // them, so that a next song can follow on the very next frame.
    virtual int renderAudio(int frames, float *left, float *right) = 0;
    // The song position, in frames, of the next frame rendered.
    virtual std::int64_t songFrame() = 0;
    virtual bool songPlaying() = 0;
    // The output lost its stream (the sound server went away) while the song
    // played: the song goes back to `songFrame`, the last one heard, and
    // stays there until the output is back and renders again.
    virtual void outputLost(std::int64_t songFrame) = 0;
};

class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // Holds rendering off, so that a transport command and the audio it
    // changes never interleave. Every call below needs the lock.
    virtual void lock() = 0;
    virtual void unlock() = 0;

    // Makes sure the output plays: opens it when closed; when open, new audio
    // replaces at once the silence already queued. False: it cannot open.
    virtual bool start() = 0;
    virtual bool isOpen() const = 0;

    // For an output that queues audio ahead of what is heard: makes the sound
    // fade out over `frames` frames from the next frame still to be heard,
    // replacing what is queued after, and returns the song frame heard where
    // the fade begins. nullopt: nothing is queued ahead of the listener (or
    // nothing is open), and the caller fades the sound out itself.
    virtual std::optional<std::int64_t> fadeOutQueued(int frames) = 0;

    // How far, in frames, what is rendered runs ahead of what is heard.
    virtual int lead() const = 0;
};
