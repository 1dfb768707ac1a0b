#include "device/pulseoutput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int Channels = 2;
constexpr std::size_t FrameBytes = sizeof(float) * Channels;
// Rendered and written in pieces, so that the first of them starts playing
// while the rest is still being rendered.
constexpr int ChunkFrames = 1024;
// Below one step of 16-bit audio: such audio may be overwritten unheard.
constexpr float SilencePeak = 2e-5f;
// PipeWire's graph runs in periods of the latency a stream asks for, (tlength
// - 2 minreq) / 2, and reports none of it: at our defaults that is 83 ms,
// every start and resume waiting up to two of them. This much is asked
// instead; the buffer stays as large, and requests come as rarely.
constexpr int PipeWirePeriodFrames = 512;

} // namespace

PulseOutput::PulseOutput(AudioSource *source, int sampleRate, int latencyFrames, int requestFrames)
    : m_source(source)
    , m_rate(sampleRate)
    , m_latency(std::max(latencyFrames, 2 * ChunkFrames))
    , m_request(std::clamp(requestFrames, ChunkFrames, m_latency / 2))
    , m_ring(std::size_t(2 * m_latency + 8 * ChunkFrames) * Channels)
    , m_left(ChunkFrames)
    , m_right(ChunkFrames)
    , m_mixed(std::size_t(2 * m_latency + 8 * ChunkFrames) * Channels)
{
}

PulseOutput::~PulseOutput()
{
    {
        std::lock_guard retry(m_retryMutex);
        m_quit = true;
    }
    m_retryWake.notify_all();
    if (m_reconnector.joinable())
        m_reconnector.join();
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    closeStream();
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseOutput::lock()
{
    if (m_loop)
        pa_threaded_mainloop_lock(m_loop);
}

void PulseOutput::unlock()
{
    if (m_loop)
        pa_threaded_mainloop_unlock(m_loop);
}

bool PulseOutput::connect()
{
    if (!m_loop) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return false;
        }
    }
    lock();
    const bool ready = ensureContext();
    unlock();
    return ready;
}

// Connects (again, after the server went away) unless connected.
bool PulseOutput::ensureContext()
{
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY)
        return true;
    closeStream();
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    m_contextUp = false;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Quavette");
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    // No server is started on our behalf: a desktop has one running.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY) {
            m_pipewire = false;
            if (pa_operation *op = pa_context_get_server_info(m_context, &PulseOutput::onServerInfo, this)) {
                while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
                    pa_threaded_mainloop_wait(m_loop);
                pa_operation_unref(op);
            }
            return true;
        }
        if (!PA_CONTEXT_IS_GOOD(state))
            return false;
        pa_threaded_mainloop_wait(m_loop);
    }
}

bool PulseOutput::start()
{
    if (!m_loop)
        return false;
    while (m_reconnecting)
        pa_threaded_mainloop_wait(m_loop);
    if (m_stream && pa_stream_get_state(m_stream) != PA_STREAM_READY)
        closeStream(); // the server went away meanwhile
    if (!m_stream)
        return ensureContext() && openStream();
    m_closing = false;
    // Queued silence gives way to the new sound from the next frame that is
    // not yet heard, so that Play after Pause or Stop sounds at once.
    if (m_silentFrom && *m_silentFrom < m_written) {
        const std::optional<std::int64_t> heard = heardFrame();
        const std::int64_t from = std::max(*m_silentFrom, heard ? *heard + m_rate / 200 : m_written);
        if (from < m_written) {
            const int span = int(m_written - from);
            m_seekBack = span;
            m_written = from;
            forget(from);
            m_silentFrom.reset();
            fill(span);
            return true;
        }
    }
    if (m_heldAtEnd)
        fill(0);
    return true;
}

bool PulseOutput::openStream()
{
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, std::uint32_t(m_rate), std::uint8_t(Channels)};
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    m_stream = pa_stream_new_with_proplist(m_context, "Music", &format, nullptr, props);
    pa_proplist_free(props);
    if (!m_stream)
        return false;
    m_written = 0;
    m_seekBack = 0;
    m_silentFrom.reset();
    m_heldAtEnd = false;
    m_holdWrites = false;
    m_closing = false;
    m_chunks.clear();
    m_timedFrame = -1;
    pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &PulseOutput::onWrite, this);
    // The whole buffer is the latency; playback starts with the first piece.
    pa_buffer_attr attr{};
    attr.maxlength = std::uint32_t(-1);
    attr.tlength = std::uint32_t(std::size_t(m_latency) * FrameBytes);
    attr.prebuf = std::uint32_t(ChunkFrames * FrameBytes);
    const int request = m_pipewire ? std::max(ChunkFrames, (m_latency - 2 * PipeWirePeriodFrames) / 2) : m_request;
    attr.minreq = std::uint32_t(std::size_t(request) * FrameBytes);
    attr.fragsize = std::uint32_t(-1);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
        closeStream();
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(m_stream);
        if (state == PA_STREAM_READY) {
            m_streamUp = true;
            return true;
        }
        if (!PA_STREAM_IS_GOOD(state)) {
            closeStream();
            return false;
        }
        pa_threaded_mainloop_wait(m_loop);
    }
}

void PulseOutput::closeStream()
{
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    m_streamUp = false;
    m_closing = false;
    m_chunks.clear();
}

void PulseOutput::fill(int atLeast)
{
    if (!m_stream || m_holdWrites || m_closing)
        return;
    const std::size_t writable = pa_stream_writable_size(m_stream);
    if (writable == std::size_t(-1))
        return;
    // What the server asks for, after rewriting `atLeast` frames queued.
    std::int64_t frames = std::int64_t(writable / FrameBytes) + atLeast;
    while (frames > 0) {
        const int n = int(std::min<std::int64_t>(frames, ChunkFrames));
        const bool wasPlaying = m_source->songPlaying();
        Chunk chunk;
        chunk.start = m_written;
        chunk.songBefore = m_source->songFrame();
        chunk.frames = m_source->renderAudio(n, m_left.data(), m_right.data());
        chunk.songAfter = m_source->songFrame();
        float peak = 0;
        for (int i = 0; i < chunk.frames; ++i) {
            const float l = m_left[std::size_t(i)], r = m_right[std::size_t(i)];
            m_mixed[std::size_t(2 * i)] = l;
            m_mixed[std::size_t(2 * i + 1)] = r;
            peak = std::max({peak, std::fabs(l), std::fabs(r)});
        }
        write(m_mixed.data(), chunk.frames);
        m_chunks.push_back(chunk);
        if (peak < SilencePeak) {
            if (!m_silentFrom)
                m_silentFrom = chunk.start;
        } else {
            m_silentFrom.reset();
        }
        frames -= chunk.frames;
        m_heldAtEnd = wasPlaying && !m_source->songPlaying();
        if (m_heldAtEnd || chunk.frames == 0)
            break;
    }
    while (!m_chunks.empty() && m_chunks.front().start + m_chunks.front().frames + m_latency * 2 < m_written)
        m_chunks.pop_front();
    // Keeps the account of what is heard fresh, for when the server goes
    // away without warning.
    if (pa_operation *op = pa_stream_update_timing_info(m_stream, &PulseOutput::onTimed, this))
        pa_operation_unref(op);

    // Nothing plays and everything queued is silent for a while: close, so
    // that neither we nor the server wake up for nothing. From inside the
    // write callback the stream is closed on the loop's next turn.
    const std::int64_t linger = m_latency + m_rate;
    if (!m_source->songPlaying() && m_silentFrom && m_written - *m_silentFrom >= linger) {
        m_closing = true;
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop);
        api->defer_new(api, [](pa_mainloop_api *a, pa_defer_event *e, void *data) {
            a->defer_free(e);
            auto *self = static_cast<PulseOutput *>(data);
            if (self->m_closing)
                self->closeStream();
        }, this);
    }
}

// Writes at m_written (after going back m_seekBack frames) and keeps a copy.
void PulseOutput::write(const float *interleaved, int frames)
{
    if (frames <= 0)
        return;
    pa_stream_write(m_stream, interleaved, std::size_t(frames) * FrameBytes, nullptr,
                    -m_seekBack * std::int64_t(FrameBytes), PA_SEEK_RELATIVE);
    m_seekBack = 0;
    const std::int64_t ringFrames = std::int64_t(m_ring.size() / Channels);
    for (int i = 0; i < frames; ++i) {
        const std::size_t at = std::size_t((m_written + i) % ringFrames) * Channels;
        m_ring[at] = interleaved[2 * i];
        m_ring[at + 1] = interleaved[2 * i + 1];
    }
    m_written += frames;
}

std::optional<std::int64_t> PulseOutput::fadeOutQueued(int frames)
{
    if (!m_stream || m_written == 0 || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return std::nullopt;
    const std::optional<std::int64_t> heard = heardFrame();
    if (!heard)
        return std::nullopt;
    const std::int64_t ringFrames = std::int64_t(m_ring.size() / Channels);
    // A few milliseconds on, for the rewrite to reach the server in time.
    const std::int64_t from = std::clamp(*heard + m_rate / 200, std::max<std::int64_t>(0, m_written - ringFrames + 1),
                                         m_written);
    if (from >= m_written)
        return std::nullopt;
    const std::int64_t song = songAt(from);
    if (m_silentFrom && *m_silentFrom <= from)
        return song;
    const int span = int(m_written - from);
    for (int i = 0; i < span; ++i) {
        const std::size_t at = std::size_t((from + i) % ringFrames) * Channels;
        const float gain = i < frames ? 1.0f - float(i) / float(frames) : 0.0f;
        m_mixed[std::size_t(2 * i)] = m_ring[at] * gain;
        m_mixed[std::size_t(2 * i + 1)] = m_ring[at + 1] * gain;
    }
    m_seekBack = span;
    m_written = from;
    write(m_mixed.data(), span);
    m_silentFrom = std::min(m_written, from + frames);
    return song;
}

// The stream frame the listener hears now, from the server's own account.
std::optional<std::int64_t> PulseOutput::heardFrame()
{
    // The audio thread must not write while the question is out.
    m_holdWrites = true;
    if (pa_operation *op = pa_stream_update_timing_info(m_stream, &PulseOutput::onDone, this)) {
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(m_loop);
        pa_operation_unref(op);
    }
    m_holdWrites = false;
    if (!m_stream) // lost while asking
        return std::nullopt;
    return timedFrame();
}

// The frame heard now, from the server's latest timing account.
std::optional<std::int64_t> PulseOutput::timedFrame()
{
    const pa_timing_info *t = pa_stream_get_timing_info(m_stream);
    if (!t || t->read_index_corrupt)
        return std::nullopt;
    std::int64_t frame = t->read_index / std::int64_t(FrameBytes);
    frame -= std::int64_t(t->sink_usec) * m_rate / 1000000;
    if (t->playing)
        frame += std::int64_t(pa_timeval_age(&t->timestamp)) * m_rate / 1000000;
    frame = std::max<std::int64_t>(0, frame);
    m_timedFrame = frame;
    m_timedAt = std::chrono::steady_clock::now();
    return frame;
}

// The stream or the whole connection is gone (the server was stopped or
// restarted): the song goes back to where the listener was, and attempts to
// reconnect begin.
void PulseOutput::onLost()
{
    if (m_stream) {
        std::int64_t heard = std::max<std::int64_t>(0, m_written - m_latency);
        if (m_timedFrame >= 0) {
            using namespace std::chrono;
            const auto since = duration_cast<microseconds>(steady_clock::now() - m_timedAt).count();
            heard = m_timedFrame + std::int64_t(since) * m_rate / 1000000;
        }
        heard = std::min(heard, m_written);
        const std::int64_t song = songAt(heard);
        const bool playing = m_source->songPlaying();
        closeStream();
        if (playing)
            m_source->outputLost(song);
    }
    {
        std::lock_guard retry(m_retryMutex);
        m_lost = true;
        if (!m_reconnector.joinable())
            m_reconnector = std::thread(&PulseOutput::reconnect, this);
    }
    m_retryWake.notify_all();
}

void PulseOutput::reconnect()
{
    RetryDelay delay;
    std::unique_lock retry(m_retryMutex);
    for (;;) {
        m_retryWake.wait(retry, [&] { return m_lost || m_quit; });
        if (m_retryWake.wait_for(retry, std::chrono::milliseconds(delay.next()), [&] { return m_quit; }))
            return;
        m_lost = false;
        retry.unlock();
        lock();
        m_reconnecting = true;
        bool back = ensureContext();
        // A song that was playing goes on; else the next Play opens a stream.
        if (back && !m_stream && m_source->songPlaying())
            back = openStream();
        m_reconnecting = false;
        pa_threaded_mainloop_signal(m_loop, 0);
        unlock();
        retry.lock();
        if (back)
            delay.reset();
        else
            m_lost = true;
    }
}

std::int64_t PulseOutput::songAt(std::int64_t streamFrame) const
{
    for (auto c = m_chunks.rbegin(); c != m_chunks.rend(); ++c) {
        if (c->start <= streamFrame)
            return std::min(c->songBefore + (streamFrame - c->start), c->songAfter);
    }
    return m_chunks.empty() ? m_source->songFrame() : m_chunks.front().songBefore;
}

// What was written from `from` on is about to be written anew.
void PulseOutput::forget(std::int64_t from)
{
    while (!m_chunks.empty() && m_chunks.back().start >= from)
        m_chunks.pop_back();
    if (!m_chunks.empty() && m_chunks.back().start + m_chunks.back().frames > from)
        m_chunks.back().frames = int(from - m_chunks.back().start);
}

void PulseOutput::onContextState(pa_context *context, void *data)
{
    auto *self = static_cast<PulseOutput *>(data);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        self->m_contextUp = true;
    } else if (!PA_CONTEXT_IS_GOOD(state) && self->m_contextUp) {
        self->m_contextUp = false;
        self->onLost();
    }
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

void PulseOutput::onStreamState(pa_stream *stream, void *data)
{
    auto *self = static_cast<PulseOutput *>(data);
    // One still opening is left to openStream, which waits for it.
    if (self->m_streamUp && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        self->onLost();
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

void PulseOutput::onServerInfo(pa_context *, const pa_server_info *info, void *data)
{
    auto *self = static_cast<PulseOutput *>(data);
    self->m_pipewire = info && info->server_name && std::strstr(info->server_name, "PipeWire");
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

void PulseOutput::onTimed(pa_stream *stream, int success, void *data)
{
    auto *self = static_cast<PulseOutput *>(data);
    if (success && stream == self->m_stream && self->m_streamUp && !self->m_holdWrites)
        self->timedFrame();
}

void PulseOutput::onWrite(pa_stream *, std::size_t, void *self)
{
    static_cast<PulseOutput *>(self)->fill(0);
}

void PulseOutput::onDone(pa_stream *, int, void *self)
{
    pa_threaded_mainloop_signal(static_cast<PulseOutput *>(self)->m_loop, 0);
}
