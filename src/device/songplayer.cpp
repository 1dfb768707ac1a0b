#include "device/songplayer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// What the song's events may do in one audio callback, in units of about the
// cost of a controller change (0.5 µs on a slow machine): 8 a frame is about
// a fifth of the callback's time, and even a callback of a few frames gets
// some. A note-on starts voices; a reset sets every controller of 16 channels.
constexpr std::int64_t BudgetPerFrame = 8;
constexpr std::int64_t LeastBudget = 256;
constexpr std::int64_t NoteOnCost = 8;
constexpr std::int64_t ResetCost = 2048;

// Controllers that act through the RPN/NRPN selection in force: they are
// replayed in their order when chasing, never collapsed.
bool isParameterController(int cc)
{
    return cc == 6 || cc == 38 || (cc >= 96 && cc <= 101);
}

// Power-on values, as FluidSynth sets them on a full reset; GS and XG
// devices start with some reverb.
int defaultController(int cc, Convention convention)
{
    switch (cc) {
    case 7:
        return 100;
    case 8:
    case 10:
        return 64;
    case 11:
        return 127;
    case 91:
        return convention == Convention::GS || convention == Convention::XG ? 40 : 0;
    default:
        return cc >= 70 && cc <= 79 ? 64 : 0;
    }
}

} // namespace

SongPlayer::SongPlayer(fluid_synth_t *synth, int sfontId, int sampleRate)
    : m_rate(sampleRate)
    , m_synth(synth)
    , m_sfontId(sfontId)
    , m_status(std::uint64_t(TPlayerMode::pmNotReady) << 32)
{
}

void SongPlayer::publish(TPlayerMode mode, int positionMs)
{
    m_status.store(std::uint64_t(mode) << 32 | std::uint32_t(positionMs), std::memory_order_release);
}

TPlayerMode SongPlayer::mode() const
{
    return TPlayerMode(m_status.load(std::memory_order_acquire) >> 32);
}

int SongPlayer::position() const
{
    return int(std::uint32_t(m_status.load(std::memory_order_acquire)));
}

std::pair<TPlayerMode, int> SongPlayer::status() const
{
    const std::uint64_t s = m_status.load(std::memory_order_acquire);
    return {TPlayerMode(s >> 32), int(std::uint32_t(s))};
}

std::int64_t SongPlayer::frameOf(std::int64_t us) const
{
    return (us * m_rate + 500000) / 1000000;
}

// While playing, the position stays short of the length: reaching the length
// and turning to stopped are one and the same moment.
int SongPlayer::positionAt(std::int64_t frame) const
{
    const int length = m_length.load(std::memory_order_relaxed);
    return int(std::min<std::int64_t>(frame * 1000 / m_rate, length - 1));
}

std::shared_ptr<const Song> SongPlayer::setSong(std::shared_ptr<const Song> song, bool playLoops)
{
    // Made outside the lock; the plan it replaces is freed outside it too.
    std::optional<LoopPlan> loop = song && playLoops ? loopPlanOf(*song) : std::nullopt;
    Instruments instruments;
    if (song) {
        fluid_sfont_t *sfont = nullptr;
        {
            std::lock_guard lock(m_mutex);
            sfont = fluid_synth_get_sfont_by_id(m_synth, m_sfontId);
        }
        instruments = instrumentsOf(*song, sfont);
    }
    std::set<Preset> &wanted = instruments.presets;
    // One instrument per hold of the lock: loading one from the disk may take
    // a while, and the audio thread may still be playing a fading tail.
    for (const Preset &p : wanted) {
        if (!m_pinned.contains(p)) {
            std::lock_guard lock(m_mutex);
            fluid_synth_pin_preset(m_synth, m_sfontId, p.first, p.second);
        }
    }
    std::lock_guard lock(m_mutex);
    // Samples still in use by a channel or a sounding voice stay until freed.
    for (const Preset &p : m_pinned)
        if (!wanted.contains(p))
            fluid_synth_unpin_preset(m_synth, m_sfontId, p.first, p.second);
    m_pinned = std::move(wanted);
    m_powerOn = instruments.powerOn;
    wakeFromFade();
    releaseNotes();
    m_style = song ? song->style() : SongStyle{};
    std::swap(m_song, song);
    std::swap(m_loop, loop);
    m_frame = 0;
    m_next = 0;
    m_passes = 0;
    if (m_song) {
        m_endFrame = frameOf(m_song->playLengthUs(m_loop.has_value()));
        m_mode = TPlayerMode::pmStopped;
        m_length.store(m_song->playLengthMs(m_loop.has_value()), std::memory_order_release);
    } else {
        m_endFrame = 0;
        m_mode = TPlayerMode::pmNotReady;
        m_length.store(0, std::memory_order_release);
    }
    publish(m_mode, 0);
    return song;
}

std::optional<SongPlayer::LoopPlan> SongPlayer::loopPlanOf(const Song &song) const
{
    const auto loop = song.loopUs();
    if (!loop)
        return std::nullopt;
    LoopPlan plan;
    plan.startFrame = frameOf(loop->first);
    plan.endFrame = frameOf(loop->second);
    if (plan.endFrame <= plan.startFrame)
        return std::nullopt;
    const auto events = song.events();
    const auto before = [&](std::int64_t frame) {
        return std::size_t(std::partition_point(events.begin(), events.end(),
                                                [&](const SongEvent &e) { return frameOf(e.us) < frame; })
                           - events.begin());
    };
    plan.startEvent = before(plan.startFrame);
    plan.endEvent = before(plan.endFrame);
    plan.fadeFrames = std::max<std::int64_t>(1, frameOf(Song::LoopFadeUs));
    plan.chase = chaseOf(song, plan.startEvent);
    return plan;
}

std::shared_ptr<const Song> SongPlayer::song()
{
    std::lock_guard lock(m_mutex);
    return m_song;
}

SongPlayer::Instruments SongPlayer::loadInstruments(fluid_synth_t *synth, int sfontId, const Song *song)
{
    Instruments instruments;
    if (song)
        instruments = instrumentsOf(*song, fluid_synth_get_sfont_by_id(synth, sfontId));
    for (const Preset &p : instruments.presets)
        fluid_synth_pin_preset(synth, sfontId, p.first, p.second);
    return instruments;
}

void SongPlayer::unloadInstruments(fluid_synth_t *synth, int sfontId, const Instruments &loaded)
{
    for (const Preset &p : loaded.presets)
        fluid_synth_unpin_preset(synth, sfontId, p.first, p.second);
}

fluid_synth_t *SongPlayer::changeSynth(fluid_synth_t *synth, int sfontId, Instruments loaded)
{
    std::lock_guard lock(m_mutex);
    releaseNotes();
    for (const Preset &p : m_pinned)
        fluid_synth_unpin_preset(m_synth, m_sfontId, p.first, p.second);
    for (int ch = 0; ch < SynthChannels; ++ch)
        fluid_synth_unset_program(m_synth, ch);
    fluid_synth_t *old = m_synth;
    m_synth = synth;
    m_sfontId = sfontId;
    m_pinned = std::move(loaded.presets);
    m_powerOn = loaded.powerOn;
    m_dirtyGroup = {};
    m_fadedOut = false; // its tails went with the former synthesiser
    if (m_mode == TPlayerMode::pmPlaying)
        startSession();
    return old;
}

bool SongPlayer::play()
{
    std::lock_guard lock(m_mutex);
    if (m_mode == TPlayerMode::pmNotReady)
        return false;
    if (m_mode != TPlayerMode::pmPlaying) {
        startSession();
        m_mode = TPlayerMode::pmPlaying;
        publish(m_mode, position());
    }
    return true;
}

bool SongPlayer::resume()
{
    std::lock_guard lock(m_mutex);
    if (m_mode == TPlayerMode::pmPaused) {
        startSession();
        m_mode = TPlayerMode::pmPlaying;
        publish(m_mode, position());
        return true;
    }
    return m_mode == TPlayerMode::pmPlaying;
}

bool SongPlayer::pause()
{
    std::lock_guard lock(m_mutex);
    if (m_mode == TPlayerMode::pmNotReady)
        return false;
    releaseNotes();
    m_mode = TPlayerMode::pmPaused;
    publish(m_mode, position());
    return true;
}

bool SongPlayer::stop()
{
    std::lock_guard lock(m_mutex);
    if (m_mode == TPlayerMode::pmNotReady)
        return false;
    releaseNotes();
    m_mode = TPlayerMode::pmStopped;
    publish(m_mode, position());
    return true;
}

bool SongPlayer::seek(int ms)
{
    std::lock_guard lock(m_mutex);
    if (m_mode == TPlayerMode::pmNotReady)
        return false;
    wakeFromFade();
    releaseNotes();
    const int length = m_length.load(std::memory_order_relaxed);
    ms = std::clamp(ms, 0, length);
    // The first frame whose time is not before ms, so that the position read
    // back while playing on never falls below ms.
    moveTo(ms == length ? m_endFrame : (std::int64_t(ms) * m_rate + 999) / 1000);
    m_mode = TPlayerMode::pmStopped;
    publish(m_mode, ms);
    return true;
}

std::int64_t SongPlayer::playFrame() const
{
    return m_loop ? m_frame + m_passes * (m_loop->endFrame - m_loop->startFrame) : m_frame;
}

// `frame` counts every pass of a loop: past the loop's first pass, it falls
// on the pass it is in, at its place in the loop.
void SongPlayer::moveTo(std::int64_t frame)
{
    m_passes = 0;
    if (m_loop && frame >= m_loop->endFrame) {
        const std::int64_t loopFrames = m_loop->endFrame - m_loop->startFrame;
        m_passes = (frame - m_loop->startFrame) / loopFrames;
        frame -= m_passes * loopFrames;
    }
    m_frame = frame;
    const auto &events = m_song->events();
    m_next = std::size_t(std::partition_point(events.begin(), events.end(),
                                              [&](const SongEvent &e) { return frameOf(e.us) < m_frame; })
                         - events.begin());
}

void SongPlayer::rewindTo(std::int64_t frame)
{
    std::lock_guard lock(m_mutex);
    if (!m_song || frame < 0 || frame >= playFrame())
        return;
    moveTo(frame);
    publish(m_mode, positionAt(playFrame()));
}

void SongPlayer::silence()
{
    std::lock_guard lock(m_mutex);
    quiet();
}

void SongPlayer::quiet()
{
    // FluidSynth's "all sounds off" spares the notes already released, so
    // every note is released with the shortest release there is, and
    // rendered away unheard. The reverb is left to die away on its own: the
    // only way to clear it, a reset, would load the power-on instruments.
    for (int ch = 0; ch < SynthChannels; ++ch) {
        fluid_synth_cc(m_synth, ch, 64, 0);
        fluid_synth_cc(m_synth, ch, 66, 0);
        fluid_synth_all_notes_off(m_synth, ch);
        fluid_synth_set_gen(m_synth, ch, GEN_VOLENVRELEASE, -20000.0f);
    }
    std::array<float, 64> scratch;
    float *out[2] = {scratch.data(), scratch.data()};
    for (int i = 0; i < 400 && fluid_synth_get_active_voice_count(m_synth) > 0; ++i)
        fluid_synth_process(m_synth, int(scratch.size()), 2, out, 2, out);
    for (int ch = 0; ch < SynthChannels; ++ch)
        fluid_synth_set_gen(m_synth, ch, GEN_VOLENVRELEASE, 0.0f);
}

std::int64_t SongPlayer::frame()
{
    std::lock_guard lock(m_mutex);
    return playFrame();
}

std::int64_t SongPlayer::framesToEnd()
{
    std::lock_guard lock(m_mutex);
    if (m_mode != TPlayerMode::pmPlaying)
        return std::numeric_limits<std::int64_t>::max();
    return std::max<std::int64_t>(0, m_endFrame - playFrame());
}

void SongPlayer::render(int frames, float *left, float *right)
{
    std::memset(left, 0, sizeof(float) * std::size_t(frames));
    std::memset(right, 0, sizeof(float) * std::size_t(frames));
    std::lock_guard lock(m_mutex);
    m_budget = std::max(std::int64_t(frames) * BudgetPerFrame, LeastBudget);
    int done = 0;
    while (done < frames) {
        int chunk = frames - done;
        // While events due are left over from a spent budget, the song's
        // time stands still and the synthesiser plays on.
        bool advance = m_mode == TPlayerMode::pmPlaying && playDueEvents();
        if (advance && playFrame() >= m_endFrame) {
            finish();
            advance = false;
        } else if (advance && m_loop && m_frame >= m_loop->endFrame) {
            loopBack();
            continue;
        } else if (advance) {
            std::int64_t until = m_endFrame;
            if (m_loop)
                until = std::min(m_loop->endFrame, m_frame + (m_endFrame - playFrame()));
            const auto events = m_song->events();
            if (m_next < events.size())
                until = std::min(until, frameOf(events[m_next].us));
            chunk = int(std::min<std::int64_t>(chunk, until - m_frame));
        }
        float *out[2] = {left + done, right + done};
        // Effects are mixed into the same buffers, so reverb and chorus stay.
        fluid_synth_process(m_synth, chunk, 2, out, 2, out);
        if (m_loop)
            fadeOut(left + done, right + done, chunk, advance);
        if (advance) {
            m_frame += chunk;
            // A looped song's end falls within its loop: no event is due there.
            if (playFrame() >= m_endFrame && (m_loop || playDueEvents())) {
                finish();
            } else {
                // The loop's start follows its end on the very next frame.
                if (m_loop && m_frame >= m_loop->endFrame && playDueEvents())
                    loopBack();
                publish(m_mode, positionAt(playFrame()));
            }
        }
        done += chunk;
    }
}

// Plays the events due at the song's frame; false when the callback's budget
// ran out first. A burst of events at one instant (a file of a million
// program changes or of General MIDI resets) thus spreads over as many
// callbacks as it needs, and no callback holds the lock, and with it every
// transport command, for longer than a fraction of its period.
bool SongPlayer::playDueEvents()
{
    const auto events = m_song->events();
    // What lies at or after a loop's end plays only once the loop is done
    // with, which a looped song never is.
    const std::size_t last = m_loop ? m_loop->endEvent : events.size();
    while (m_next < last) {
        const SongEvent e = events[m_next];
        if (frameOf(e.us) > m_frame)
            break;
        if (m_budget <= 0)
            return false;
        if (isReset(e)) {
            // A reset right after a reset finds the group as the first left
            // it, after playing on or after chasing to here alike.
            const bool repeated = m_next > 0 && isReset(events[m_next - 1]);
            m_budget -= repeated ? 1 : ResetCost;
            ++m_next;
            if (!repeated)
                dispatch(e);
            continue;
        }
        m_budget -= e.kind == MidiEvent::SysEx ? 1 + e.size / 128
            : (e.status & 0xF0) == 0x90 && e.data2 > 0 ? NoteOnCost
                                                      : 1;
        ++m_next;
        dispatch(e);
    }
    return true;
}

// The natural end, on the very frame of the song's length. Notes the song
// released ring out; nothing is cut.
void SongPlayer::finish()
{
    m_fadedOut = m_loop.has_value();
    m_mode = TPlayerMode::pmStopped;
    publish(m_mode, m_length.load(std::memory_order_relaxed));
    m_endCount.fetch_add(1, std::memory_order_release);
}

// At the loop's end, the notes the song ends there end; the notes it holds
// on are let go as by a seek; and the song goes on from the loop's start in
// a fresh group, brought to the state it had there. The tails of the end
// ring on in the group left, so the seam is not heard.
void SongPlayer::loopBack()
{
    const auto events = m_song->events();
    for (std::size_t i = m_next; i < events.size() && frameOf(events[i].us) == m_loop->endFrame; ++i) {
        const SongEvent e = events[i];
        const int type = e.status & 0xF0;
        if (e.kind == MidiEvent::Channel && (type == 0x80 || (type == 0x90 && e.data2 == 0)))
            dispatch(e);
    }
    releaseNotes();
    m_frame = m_loop->startFrame;
    m_next = m_loop->startEvent;
    ++m_passes;
    m_base = (m_base + 16) % SynthChannels;
    releaseIdleGroups();
    resetGroup();
    applyChase(m_loop->chase);
}

// The last Song::LoopFadeUs of a looped song fade out linearly, sample by
// sample as its position goes; once it has faded, nothing more is heard.
void SongPlayer::fadeOut(float *left, float *right, int frames, bool advancing) const
{
    const std::int64_t from = playFrame();
    const std::int64_t fadeStart = m_endFrame - m_loop->fadeFrames;
    if (!m_fadedOut && from + (advancing ? frames - 1 : 0) <= fadeStart)
        return;
    const double step = 1.0 / double(m_loop->fadeFrames);
    for (int i = 0; i < frames; ++i) {
        const std::int64_t at = advancing ? from + i : from;
        const float gain = m_fadedOut ? 0.0f : float(std::clamp(double(m_endFrame - at) * step, 0.0, 1.0));
        left[i] *= gain;
        right[i] *= gain;
    }
}

// Before a faded song is heard from elsewhere, or another song comes, what
// it left ringing unheard is ended.
void SongPlayer::wakeFromFade()
{
    if (!m_fadedOut)
        return;
    quiet();
    m_fadedOut = false;
}

void SongPlayer::startSession()
{
    m_base = (m_base + 16) % SynthChannels;
    releaseIdleGroups();
    resetGroup();
    chase();
}

void SongPlayer::releaseNotes()
{
    for (int ch = m_base; ch < m_base + 16; ++ch) {
        fluid_synth_cc(m_synth, ch, 64, 0); // sustain
        fluid_synth_cc(m_synth, ch, 66, 0); // sostenuto
        fluid_synth_all_notes_off(m_synth, ch);
    }
}

// The groups of earlier sessions give up their instruments, so that the
// samples of songs played before are freed rather than piling up. Their
// fading notes keep theirs until they end.
void SongPlayer::releaseIdleGroups()
{
    for (int ch = 0; ch < SynthChannels; ++ch)
        if (ch / 16 * 16 != m_base)
            fluid_synth_unset_program(m_synth, ch);
}

// A clean General MIDI state for the group, without killing any voice.
void SongPlayer::resetGroup()
{
    bool &dirty = m_dirtyGroup[std::size_t(m_base / 16)];
    // FluidSynth takes a mode message on its first channel for every
    // channel, of every group: back to omni on, poly for all.
    if (m_modesChanged) {
        fluid_synth_reset_basic_channel(m_synth, -1);
        fluid_synth_set_basic_channel(m_synth, 0, FLUID_CHANNEL_MODE_OMNION_POLY, 0);
        m_modesChanged = false;
    }
    const Convention convention = m_style.convention;
    fluid_sfont_t *sfont = fluid_synth_get_sfont_by_id(m_synth, m_sfontId);
    for (int c = 0; c < 16; ++c) {
        const int ch = m_base + c;
        m_banks[std::size_t(c)] = powerOnBank(convention, c);
        const Voice voice = voiceFor(convention, m_banks[std::size_t(c)], 0);
        m_drum[std::size_t(c)] = voice.drum;
        fluid_synth_set_channel_type(m_synth, ch, voice.drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
        for (int cc = 0; cc < 120; ++cc)
            if (!isParameterController(cc))
                fluid_synth_cc(m_synth, ch, cc, defaultController(cc, convention));
        for (int cc = 98; cc <= 101; ++cc)
            fluid_synth_cc(m_synth, ch, cc, 127); // no parameter selected
        fluid_synth_pitch_bend(m_synth, ch, 8192);
        fluid_synth_pitch_wheel_sens(m_synth, ch, 2);
        fluid_synth_channel_pressure(m_synth, ch, 0);
        if (dirty) {
            for (int key = 0; key < 128; ++key)
                fluid_synth_key_pressure(m_synth, ch, key, 0);
            for (int gen = 0; gen < GEN_LAST; ++gen)
                fluid_synth_set_gen(m_synth, ch, gen, 0.0f);
            fluid_synth_deactivate_tuning(m_synth, ch, 0);
        }
        // A channel whose notes all sound with instruments the song chooses
        // gets none until then, unless its power-on one is loaded anyway:
        // each instrument costs its samples.
        if (m_powerOn[std::size_t(c)] || m_pinned.contains(presetFor(sfont, voice)))
            selectVoice(c, 0);
        else
            fluid_synth_unset_program(m_synth, ch);
    }
    dirty = false;
}

// Brings the fresh group to the state the song has at the current position:
// programs, controllers, pitch bend, pressure and sysex, then strikes again
// the notes the song holds across this point, at their velocity, so that a
// chord held through a pause or a seek does not fall silent until its next
// note. Only the last value of each plain controller is sent; what depends
// on order (parameter numbers and their data, resets, sysex) is replayed in
// order. Rhythm parts are left alone: a drum note is a stroke, not a held
// sound, and striking it again would be a new stroke.
void SongPlayer::chase()
{
    applyChase(chaseOf(*m_song, m_next));
}

SongPlayer::Chase SongPlayer::chaseOf(const Song &song, std::size_t next)
{
    const auto events = song.events();
    const Convention convention = song.style().convention;
    constexpr int None = -1;
    Chase chase;
    std::vector<int> lastCc(16 * 128, None);
    std::array<int, 16> lastProgram, lastBend, lastPressure;
    std::array<std::uint8_t, 16> bankMsb{}, bankLsb{};
    const auto powerOnBanks = [&] {
        for (int c = 0; c < 16; ++c)
            bankMsb[std::size_t(c)] = powerOnBank(convention, c).msb;
        bankLsb = {};
    };
    powerOnBanks();
    lastProgram.fill(None);
    lastBend.fill(None);
    lastPressure.fill(None);
    std::vector<int> &ordered = chase.ordered;
    auto &held = chase.held;

    for (std::size_t i = 0; i < next; ++i) {
        const SongEvent e = events[i];
        const int index = int(i);
        if (e.kind == MidiEvent::SysEx) {
            if (isResetIn(song, e)) {
                // Everything before a reset is undone by it.
                std::fill(lastCc.begin(), lastCc.end(), None);
                lastProgram.fill(None);
                lastBend.fill(None);
                lastPressure.fill(None);
                powerOnBanks();
                ordered.clear();
                held = {};
            } else {
                ordered.push_back(index);
            }
            continue;
        }
        const int c = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0x80:
            held[std::size_t(c)][e.data1 & 0x7F] = 0;
            break;
        case 0x90:
            held[std::size_t(c)][e.data1 & 0x7F] = e.data2;
            break;
        case 0xB0:
            if (e.data1 == 0)
                bankMsb[std::size_t(c)] = e.data2;
            else if (e.data1 == 32)
                bankLsb[std::size_t(c)] = e.data2;
            if (e.data1 == 120 || e.data1 >= 123) // all sound off, all notes off, mode changes
                held[std::size_t(c)] = {};
            if (isParameterController(e.data1) || e.data1 == 121 || e.data1 >= 126)
                ordered.push_back(index);
            else if (e.data1 < 120)
                lastCc[std::size_t(c * 128 + e.data1)] = index;
            break;
        case 0xC0:
            lastProgram[std::size_t(c)] = index;
            chase.bankAtProgram[std::size_t(c)] = {bankMsb[std::size_t(c)], bankLsb[std::size_t(c)]};
            break;
        case 0xD0:
            lastPressure[std::size_t(c)] = index;
            break;
        case 0xE0:
            lastBend[std::size_t(c)] = index;
            break;
        default:
            break; // key pressure belongs to a note struck anew below
        }
    }

    for (int i : lastCc)
        if (i != None)
            ordered.push_back(i);
    for (const auto *last : {&lastProgram, &lastBend, &lastPressure})
        for (int i : *last)
            if (i != None)
                ordered.push_back(i);
    std::sort(ordered.begin(), ordered.end());
    return chase;
}

// Allocates nothing: a loop's start is chased from the audio callback.
void SongPlayer::applyChase(const Chase &chase)
{
    const auto events = m_song->events();
    for (int i : chase.ordered) {
        const SongEvent e = events[std::size_t(i)];
        if ((e.status & 0xF0) == 0xC0 && e.kind == MidiEvent::Channel) {
            // The program is chosen with the bank in force when it was changed.
            const int c = e.status & 0x0F;
            const auto [msb, lsb] = chase.bankAtProgram[std::size_t(c)];
            m_banks[std::size_t(c)].msb = msb;
            m_banks[std::size_t(c)].lsb = lsb;
            fluid_synth_cc(m_synth, m_base + c, 0, msb);
            fluid_synth_cc(m_synth, m_base + c, 32, lsb);
        }
        dispatch(e);
    }
    for (int c = 0; c < 16; ++c) {
        if (m_drum[std::size_t(c)])
            continue;
        for (int key = 0; key < 128; ++key)
            if (const int velocity = chase.held[std::size_t(c)][std::size_t(key)])
                fluid_synth_noteon(m_synth, m_base + c, key, velocity);
    }
}

void SongPlayer::dispatch(const SongEvent &e)
{
    if (e.kind == MidiEvent::SysEx) {
        sendSysEx(m_song->sysExData().data() + e.offset, e.size);
        return;
    }
    const int ch = m_base + (e.status & 0x0F);
    switch (e.status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(m_synth, ch, e.data1);
        break;
    case 0x90:
        if (e.data2 == 0)
            fluid_synth_noteoff(m_synth, ch, e.data1);
        else
            fluid_synth_noteon(m_synth, ch, e.data1, e.data2);
        break;
    case 0xA0:
        m_dirtyGroup[std::size_t(m_base / 16)] = true;
        fluid_synth_key_pressure(m_synth, ch, e.data1, e.data2);
        break;
    case 0xB0:
        if (isParameterController(e.data1))
            m_dirtyGroup[std::size_t(m_base / 16)] = true;
        else if (e.data1 >= 124)
            m_modesChanged = true;
        else if (e.data1 == 0)
            m_banks[std::size_t(e.status & 0x0F)].msb = e.data2;
        else if (e.data1 == 32)
            m_banks[std::size_t(e.status & 0x0F)].lsb = e.data2;
        fluid_synth_cc(m_synth, ch, e.data1, e.data2);
        break;
    case 0xC0:
        selectVoice(e.status & 0x0F, e.data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(m_synth, ch, e.data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(m_synth, ch, e.data1 | e.data2 << 7);
        break;
    default:
        break;
    }
}

bool SongPlayer::isResetIn(const Song &song, const SongEvent &e)
{
    if (e.kind != MidiEvent::SysEx)
        return false;
    const std::uint8_t *d = song.sysExData().data() + e.offset;
    return addressesDevice(d, e.size, song.style().deviceId) && resetOf(d, e.size);
}

// The instrument a program change chooses under the song's convention. The
// drum flag follows it: XG chooses a kit by its bank on any channel.
void SongPlayer::selectVoice(int channel, int program)
{
    const int ch = m_base + channel;
    const Voice voice = voiceFor(m_style.convention, m_banks[std::size_t(channel)], program);
    m_drum[std::size_t(channel)] = voice.drum;
    fluid_synth_set_channel_type(m_synth, ch, voice.drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
    const Preset preset = presetFor(fluid_synth_get_sfont_by_id(m_synth, m_sfontId), voice);
    if (fluid_synth_program_select(m_synth, ch, m_sfontId, preset.first, preset.second) != FLUID_OK)
        fluid_synth_unset_program(m_synth, ch);
}

// What the SoundFont lacks falls back as FluidSynth's own program change
// does: a variation to bank 0 of the same program, a kit to the standard one.
SongPlayer::Preset SongPlayer::presetFor(fluid_sfont_t *sfont, const Voice &voice)
{
    if (sfont && fluid_sfont_get_preset(sfont, voice.bank, voice.program))
        return {voice.bank, voice.program};
    if (voice.drum)
        return {128, 0};
    if (sfont && fluid_sfont_get_preset(sfont, 0, voice.program))
        return {0, voice.program};
    return {0, 0};
}

// FluidSynth's own handling of resets kills every voice and knows only the
// first 16 channels, so the messages that reset or address channels are
// carried out here on the group in use. Messages for another device are
// not for this one; the rest reach FluidSynth addressed to all devices, as
// it answers to one device id for every synthesiser made from its settings.
void SongPlayer::sendSysEx(const std::uint8_t *d, std::size_t n)
{
    if (!addressesDevice(d, n, m_style.deviceId))
        return;
    if (resetOf(d, n)) {
        releaseNotes();
        resetGroup();
        return;
    }
    if (const auto part = rhythmPart(d, n)) {
        m_banks[std::size_t(part->channel)].rhythm = part->rhythm;
        selectVoice(part->channel, 0);
        return;
    }
    m_dirtyGroup[std::size_t(m_base / 16)] = true;
    constexpr std::size_t MaxAddressed = 256;
    std::uint8_t copy[MaxAddressed];
    const bool addressed = n >= 2 && n <= MaxAddressed;
    if (addressed) {
        std::memcpy(copy, d, n);
        copy[1] = 0x7F;
        d = copy;
    }
    // MIDI Tuning scale/octave messages pick channels by a 16-bit mask.
    if (addressed && (n == 19 || n == 31) && (d[0] == 0x7E || d[0] == 0x7F) && d[2] == 0x08
        && (d[3] == 0x08 || d[3] == 0x09)) {
        const int mask = (d[4] & 0x03) << 14 | d[5] << 7 | d[6];
        copy[4] = copy[5] = copy[6] = 0;
        fluid_synth_sysex(m_synth, reinterpret_cast<const char *>(copy), int(n), nullptr, nullptr, nullptr, 0);
        for (int c = 0; c < 16; ++c)
            if (mask & (1 << c))
                fluid_synth_activate_tuning(m_synth, m_base + c, 0, 0, d[0] == 0x7F);
        return;
    }
    if (n > 0 && n < 0x7FFFFFFF)
        fluid_synth_sysex(m_synth, reinterpret_cast<const char *>(d), int(n), nullptr, nullptr, nullptr, 0);
}

// The instruments the song's notes sound with, found the way selectVoice
// finds them; and the channels that play with their power-on instrument
// (none chosen since a reset).
SongPlayer::Instruments SongPlayer::instrumentsOf(const Song &song, fluid_sfont_t *sfont)
{
    const SongStyle style = song.style();
    Instruments found;
    std::array<BankState, 16> bank{};
    std::array<Voice, 16> voice{};
    std::array<bool, 16> noted{}, chosen{};
    const auto powerOn = [&] {
        for (int c = 0; c < 16; ++c) {
            bank[std::size_t(c)] = powerOnBank(style.convention, c);
            voice[std::size_t(c)] = voiceFor(style.convention, bank[std::size_t(c)], 0);
        }
        noted = {};
        chosen = {};
    };
    powerOn();
    for (const SongEvent &e : song.events()) {
        if (e.kind == MidiEvent::SysEx) {
            const std::uint8_t *d = song.sysExData().data() + e.offset;
            if (!addressesDevice(d, e.size, style.deviceId))
                continue;
            if (resetOf(d, e.size)) {
                powerOn();
            } else if (const auto part = rhythmPart(d, e.size)) {
                // The part is given program 0 at once, in the audio thread.
                const auto c = std::size_t(part->channel);
                bank[c].rhythm = part->rhythm;
                voice[c] = voiceFor(style.convention, bank[c], 0);
                noted[c] = false;
                chosen[c] = true;
                found.presets.insert(presetFor(sfont, voice[c]));
            }
            continue;
        }
        const std::size_t c = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0x90:
            // Once per instrument change, not per note: songs hold many notes.
            if (e.data2 != 0 && !noted[c]) {
                found.presets.insert(presetFor(sfont, voice[c]));
                found.powerOn[c] = found.powerOn[c] || !chosen[c];
                noted[c] = true;
            }
            break;
        case 0xB0:
            if (e.data1 == 0)
                bank[c].msb = e.data2;
            else if (e.data1 == 32)
                bank[c].lsb = e.data2;
            break;
        case 0xC0:
            voice[c] = voiceFor(style.convention, bank[c], e.data1 & 0x7F);
            noted[c] = false;
            chosen[c] = true;
            break;
        default:
            break;
        }
    }
    return found;
}

SongPlayer::ChannelState SongPlayer::channelState(int channel)
{
    std::lock_guard lock(m_mutex);
    ChannelState s;
    const int ch = m_base + (channel & 0x0F);
    // The preset in use, not the bank number stored: a drum channel plays
    // from the percussion bank whatever bank was selected.
    if (fluid_preset_t *preset = fluid_synth_get_channel_preset(m_synth, ch)) {
        s.bank = fluid_preset_get_banknum(preset);
        s.program = fluid_preset_get_num(preset);
    }
    fluid_synth_get_pitch_bend(m_synth, ch, &s.pitchBend);
    for (int cc = 0; cc < 128; ++cc)
        fluid_synth_get_cc(m_synth, ch, cc, &s.cc[std::size_t(cc)]);
    return s;
}

int SongPlayer::activeVoices()
{
    std::lock_guard lock(m_mutex);
    return fluid_synth_get_active_voice_count(m_synth);
}
