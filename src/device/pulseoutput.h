// A playback stream of our own to the sound server (PulseAudio, or PipeWire's
// PulseAudio service). It renders far ahead, in large requests, so that the
// program and the server wake rarely; a pause or a stop still silences within
// milliseconds, because the audio already queued is rewritten with a short
// fade. The connection to the server stays; the stream closes by itself once
// nothing plays and everything queued is silent.
#pragma once

#include "device/audiooutput.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct pa_context;
struct pa_server_info;
struct pa_stream;
struct pa_threaded_mainloop;

// The wait before each attempt to reach a sound server that went away: short
// at first, since a restart takes a moment, then ever longer, so that a
// server that stays away costs next to nothing.
class RetryDelay
{
public:
    static constexpr int FirstMs = 100;
    static constexpr int LongestMs = 3200;
    int next()
    {
        const int ms = m_next;
        m_next = std::min(2 * m_next, LongestMs);
        return ms;
    }
    void reset() { m_next = FirstMs; }

private:
    int m_next = FirstMs;
};

class PulseOutput final : public AudioOutput
{
public:
    // `latencyFrames`: how far the stream is filled ahead of the listener;
    // `requestFrames`: how much is rendered at each wake-up.
    PulseOutput(AudioSource *source, int sampleRate, int latencyFrames, int requestFrames);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Connects to the server (without the lock held). False: there is none.
    bool connect();

    void lock() override;
    void unlock() override;
    bool start() override;
    bool isOpen() const override { return m_stream != nullptr; }
    std::optional<std::int64_t> fadeOutQueued(int frames) override;
    int lead() const override { return m_latency; }

private:
    struct Chunk {
        std::int64_t start = 0; // stream frame
        int frames = 0;
        std::int64_t songBefore = 0;
        std::int64_t songAfter = 0;
    };

    bool ensureContext();
    bool openStream();
    void closeStream();
    void fill(int atLeast);
    void write(const float *interleaved, int frames);
    std::optional<std::int64_t> heardFrame();
    std::int64_t songAt(std::int64_t streamFrame) const;
    void forget(std::int64_t from);

    std::optional<std::int64_t> timedFrame();
    void onLost();
    void reconnect();

    static void onContextState(pa_context *, void *self);
    static void onServerInfo(pa_context *, const pa_server_info *, void *self);
    static void onTimed(pa_stream *, int, void *self);
    static void onStreamState(pa_stream *, void *self);
    static void onWrite(pa_stream *, std::size_t, void *self);
    static void onDone(pa_stream *, int, void *self);

    AudioSource *const m_source;
    const int m_rate;
    const int m_latency;
    const int m_request;
    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;

    // Everything below belongs to the stream, under the lock.
    std::int64_t m_written = 0;            // frames written so far
    std::int64_t m_seekBack = 0;           // frames the next write goes back
    std::optional<std::int64_t> m_silentFrom; // all queued from here is silence
    bool m_heldAtEnd = false; // a song ended; what follows is not rendered yet
    bool m_holdWrites = false;
    bool m_closing = false;
    std::vector<float> m_ring; // interleaved copy of what was written lately
    std::deque<Chunk> m_chunks;
    std::vector<float> m_left, m_right, m_mixed;

    // The server's latest account of what is heard, carried on by the clock
    // when the server is gone and cannot be asked.
    std::int64_t m_timedFrame = -1;
    std::chrono::steady_clock::time_point m_timedAt;
    bool m_contextUp = false;
    bool m_streamUp = false;
    bool m_reconnecting = false; // an attempt holds the context and stream
    bool m_pipewire = false;     // PipeWire's PulseAudio service answers

    // Reconnects, off the loop's own thread, after the server went away.
    std::mutex m_retryMutex;
    std::condition_variable m_retryWake;
    bool m_lost = false;
    bool m_quit = false;
    std::thread m_reconnector;
};
