#include "device/midifile.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::span<const std::uint8_t>;

// Positions in a file are kept in 32 bits.
static_assert(MidiFile::MaxFileSize < (std::size_t(1) << 32));

// How far into a file the header is looked for: some files carry a few bytes
// of junk (a MacBinary header, a stray BOM) before it.
constexpr std::size_t HeaderSearchLimit = 1024;

std::uint32_t be32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t le32(const std::uint8_t *p)
{
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

bool hasId(Bytes b, std::size_t at, const char *id)
{
    return at + 4 <= b.size() && std::memcmp(b.data() + at, id, 4) == 0;
}

bool plausibleChunkId(const std::uint8_t *p)
{
    return std::all_of(p, p + 4, [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

// The standard Midi File inside a RIFF RMID file: the "data" chunk, clipped to
// the file; other chunks and pad bytes are skipped.
std::optional<Bytes> rmidData(Bytes b)
{
    if (b.size() < 12 || !hasId(b, 0, "RIFF") || !hasId(b, 8, "RMID"))
        return std::nullopt;
    std::size_t pos = 12;
    while (pos + 8 <= b.size()) {
        const std::uint32_t size = le32(b.data() + pos + 4);
        const std::size_t start = pos + 8;
        const std::size_t avail = std::min<std::size_t>(size, b.size() - start);
        if (hasId(b, pos, "data"))
            return b.subspan(start, avail);
        if (size > b.size() - start)
            break;
        pos = start + size + (size & 1);
    }
    return Bytes{};
}

// A variable-length number of at most four bytes; false when it is longer or
// runs past the end.
bool readVlq(Bytes b, std::size_t &pos, std::uint32_t &value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= b.size())
            return false;
        const std::uint8_t c = b[pos++];
        value = value << 7 | (c & 0x7F);
        if (!(c & 0x80))
            return true;
    }
    return false;
}

int channelDataLength(std::uint8_t status)
{
    const std::uint8_t type = status & 0xF0;
    return type == 0xC0 || type == 0xD0 ? 1 : 2;
}

// Data bytes of the system common and real-time messages that some files
// carry although a file may not: they are skipped.
int systemDataLength(std::uint8_t status)
{
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 1;
    case 0xF2:
        return 2;
    default:
        return 0;
    }
}

// One event as it stands in a track, from its status byte (or its first data
// byte under running status) on.
struct RawEvent {
    std::uint8_t status = 0;
    std::uint8_t metaType = 0;
    Bytes data; // channel: its data bytes; meta, F0 and F7: the payload
};

// False where the bytes form no event: the rest of the track is unreadable.
bool readRaw(Bytes b, std::size_t &pos, std::uint8_t &running, RawEvent &raw)
{
    if (pos >= b.size())
        return false;
    std::uint8_t status = b[pos];
    if (status & 0x80)
        ++pos;
    else if (running)
        status = running;
    else
        return false; // a data byte with no status to run on
    raw.status = status;
    if (status < 0xF0) {
        const std::size_t n = std::size_t(channelDataLength(status));
        if (pos + n > b.size() || b[pos] >= 0x80 || (n == 2 && b[pos + 1] >= 0x80))
            return false;
        raw.data = b.subspan(pos, n);
        pos += n;
        running = status;
        return true;
    }
    if (status == 0xFF) {
        if (pos >= b.size())
            return false;
        raw.metaType = b[pos++];
    }
    if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        std::uint32_t length = 0;
        if (!readVlq(b, pos, length) || length > b.size() - pos)
            return false;
        raw.data = b.subspan(pos, length);
        pos += length;
        return true;
    }
    const std::size_t n = std::size_t(systemDataLength(status));
    if (pos + n > b.size())
        return false;
    raw.data = b.subspan(pos, n);
    pos += n;
    return true;
}

bool isTerminated(Bytes data)
{
    return !data.empty() && data.back() == 0xF7;
}

MidiTrackReader::Step takeSysEx(Bytes payload, MidiEvent &e, std::vector<std::uint8_t> &sysEx)
{
    if (payload.empty())
        return MidiTrackReader::Step::Nothing;
    sysEx.insert(sysEx.end(), payload.begin(), payload.end());
    e.kind = MidiEvent::SysEx;
    e.size = std::uint32_t(payload.size());
    return MidiTrackReader::Step::Event;
}

// An F7 event with no sysex waiting for its continuation: raw bytes to send
// as they stand. Only what forms whole messages is kept.
MidiTrackReader::Step takeEscaped(Bytes bytes, MidiEvent &e, std::vector<std::uint8_t> &sysEx)
{
    if (bytes.empty())
        return MidiTrackReader::Step::Nothing;
    const std::uint8_t status = bytes[0];
    if (status == 0xF0) {
        Bytes payload = bytes.subspan(1);
        if (isTerminated(payload))
            payload = payload.first(payload.size() - 1);
        return takeSysEx(payload, e, sysEx);
    }
    if (status < 0x80 || status >= 0xF0)
        return MidiTrackReader::Step::Nothing;
    const std::size_t n = std::size_t(channelDataLength(status));
    if (bytes.size() < 1 + n || bytes[1] >= 0x80 || (n == 2 && bytes[2] >= 0x80))
        return MidiTrackReader::Step::Nothing;
    e.status = status;
    e.data1 = bytes[1];
    e.data2 = n == 2 ? bytes[2] : 0;
    return MidiTrackReader::Step::Event;
}

} // namespace

MidiTrackReader::MidiTrackReader(Bytes bytes, std::uint32_t begin, std::uint32_t end)
    : m_pos(begin)
    , m_end(end)
    , m_ended(false)
{
    advance(bytes);
}

void MidiTrackReader::advance(Bytes bytes)
{
    const Bytes b = bytes.first(m_end);
    std::size_t pos = m_pos;
    std::uint32_t delta = 0;
    if (!readVlq(b, pos, delta) || pos >= b.size()) {
        m_ended = true;
        return;
    }
    m_pos = std::uint32_t(pos);
    m_nextTick = m_tick + delta;
}

MidiTrackReader::Step MidiTrackReader::read(Bytes bytes, MidiEvent &e, std::vector<std::uint8_t> &sysEx)
{
    if (m_ended)
        return Step::End;
    const Bytes b = bytes.first(m_end);
    const std::uint32_t at = m_pos;
    const std::uint8_t running = m_running;
    std::size_t pos = m_pos;
    RawEvent raw;
    if (!readRaw(b, pos, m_running, raw)) {
        m_ended = true;
        return Step::End;
    }
    e = MidiEvent{};
    e.tick = m_nextTick;
    Step step = Step::Nothing;
    if (raw.status < 0xF0) {
        e.status = raw.status;
        e.data1 = raw.data[0];
        e.data2 = raw.data.size() > 1 ? raw.data[1] : 0;
        step = Step::Event;
    } else if (raw.status == 0xFF) {
        if (raw.metaType == 0x2F) {
            m_tick = m_nextTick;
            m_ended = true;
            return Step::End;
        }
        if (raw.metaType == 0x51 && raw.data.size() >= 3) {
            e.tempo = std::uint32_t(raw.data[0]) << 16 | raw.data[1] << 8 | raw.data[2];
            if (e.tempo > 0) {
                e.kind = MidiEvent::Tempo;
                step = Step::Event;
            }
        }
        if (step == Step::Nothing) {
            e.status = 0xFF;
            e.data1 = raw.metaType;
            e.size = std::uint32_t(raw.data.size());
            e.at = std::uint32_t(raw.data.data() - bytes.data());
        }
    } else if (raw.status == 0xF0) {
        // A later F0 drops an earlier one still waiting for its end.
        m_sysExOpen = !isTerminated(raw.data);
        if (m_sysExOpen) {
            m_sysExStart = at;
            m_sysExRunning = running;
        } else {
            step = takeSysEx(raw.data.first(raw.data.size() - 1), e, sysEx);
        }
    } else if (raw.status == 0xF7) {
        if (!m_sysExOpen) {
            step = takeEscaped(raw.data, e, sysEx);
        } else if (isTerminated(raw.data)) {
            m_sysExOpen = false;
            const std::size_t before = sysEx.size();
            appendPackets(bytes, std::uint32_t(pos), sysEx);
            if (sysEx.size() > before) {
                e.kind = MidiEvent::SysEx;
                e.size = std::uint32_t(sysEx.size() - before);
                step = Step::Event;
            }
        }
    }
    m_tick = m_nextTick;
    m_pos = std::uint32_t(pos);
    advance(bytes);
    return step;
}

bool MidiTrackReader::next(Bytes bytes, MidiEvent &e, std::vector<std::uint8_t> &sysEx)
{
    for (;;) {
        switch (read(bytes, e, sysEx)) {
        case Step::Event:
            return true;
        case Step::End:
            return false;
        case Step::Nothing:
            break;
        }
    }
}

// A sysex split into packets is read again from its F0 when its last packet
// arrives, rather than kept aside per track while the tracks are merged: the
// payload is the data of the F0 and of every F7 packet up to `to`, without
// the final F7.
void MidiTrackReader::appendPackets(Bytes bytes, std::uint32_t to, std::vector<std::uint8_t> &sysEx) const
{
    const Bytes b = bytes.first(m_end);
    std::size_t pos = m_sysExStart;
    std::uint8_t running = m_sysExRunning;
    bool first = true;
    while (pos < to) {
        std::uint32_t delta = 0;
        RawEvent raw;
        if ((!first && !readVlq(b, pos, delta)) || !readRaw(b, pos, running, raw))
            return; // cannot happen: these bytes were read once already
        first = false;
        if (raw.status == 0xF0 || raw.status == 0xF7) {
            const Bytes data = pos >= to ? raw.data.first(raw.data.size() - 1) : raw.data;
            sysEx.insert(sysEx.end(), data.begin(), data.end());
        }
    }
}

MidiFile MidiFile::load(const std::string &path)
{
    // Opening a FIFO waits for a writer and opening a device can act on it:
    // look first, then open without waiting and check again what was opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw EMidiFileError(MidiText::NotReadable);
    }
    if (!S_ISREG(st.st_mode)) {
        throw EMidiFileError(MidiText::NotRegular);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        throw EMidiFileError(MidiText::NotReadable);
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EMidiFileError(MidiText::NotRegular);
    }
    if (std::uint64_t(st.st_size) > MaxFileSize) {
        ::close(fd);
        throw EMidiFileError(MidiText::TooLarge);
    }
    std::vector<std::uint8_t> bytes(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            ::close(fd);
            throw EMidiFileError(MidiText::NotReadable);
        }
        if (n == 0)
            break; // the file shrank while being read: take what is there
        done += std::size_t(n);
    }
    ::close(fd);
    bytes.resize(done);
    return take(std::move(bytes));
}

MidiFile MidiFile::parse(Bytes bytes)
{
    if (bytes.size() > MaxFileSize) {
        throw EMidiFileError(MidiText::TooLarge);
    }
    return take(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

MidiFile MidiFile::take(std::vector<std::uint8_t> all)
{
    if (all.size() > MaxFileSize) {
        throw EMidiFileError(MidiText::TooLarge);
    }
    Bytes bytes = all;
    if (const auto data = rmidData(bytes))
        bytes = *data;
    // Chunks are recorded as positions in `all`.
    const auto origin = std::uint32_t(bytes.data() - all.data());

    std::size_t header = 0;
    const std::size_t searchEnd = std::min(bytes.size(), HeaderSearchLimit);
    while (header < searchEnd && !hasId(bytes, header, "MThd"))
        ++header;
    if (header >= searchEnd) {
        throw EMidiFileError(MidiText::NotMidi);
    }
    if (header + 14 > bytes.size()) {
        throw EMidiFileError(MidiText::Damaged);
    }
    const std::uint8_t *h = bytes.data() + header;
    const std::uint32_t headerLength = be32(h + 4);
    if (headerLength < 6) {
        throw EMidiFileError(MidiText::Damaged);
    }

    MidiFile file;
    file.m_format = h[8] << 8 | h[9];
    const int division = h[12] << 8 | h[13];
    if (division & 0x8000) {
        file.m_division.smpte = true;
        file.m_division.framesPerSecond = -std::int8_t(division >> 8);
        file.m_division.ticksPerFrame = division & 0xFF;
        if (file.m_division.framesPerSecond <= 0 || file.m_division.ticksPerFrame == 0) {
            throw EMidiFileError(MidiText::Damaged);
        }
    } else {
        file.m_division.ticksPerQuarter = division;
        if (division == 0) {
            throw EMidiFileError(MidiText::Damaged);
        }
    }

    // The header's track count is not trusted: every MTrk chunk is read.
    std::size_t pos = header + 8 + std::min<std::size_t>(headerLength, bytes.size());
    // A header that claims more than its six bytes while a track follows right
    // after them has a wrong length field.
    if (headerLength > 6 && hasId(bytes, header + 14, "MTrk") && !hasId(bytes, pos, "MTrk"))
        pos = header + 14;
    while (pos + 8 <= bytes.size()) {
        if (!plausibleChunkId(bytes.data() + pos)) {
            // Garbage where a chunk should start (a wrong chunk length before
            // it): carry on at the next track, if there is one.
            const std::uint8_t id[] = {'M', 'T', 'r', 'k'};
            const auto next = std::search(bytes.begin() + std::ptrdiff_t(pos) + 1, bytes.end(),
                                          std::begin(id), std::end(id));
            if (next == bytes.end())
                break;
            pos = std::size_t(next - bytes.begin());
            continue;
        }
        const std::uint32_t length = be32(bytes.data() + pos + 4);
        const std::size_t start = pos + 8;
        const std::size_t avail = std::min<std::size_t>(length, bytes.size() - start);
        if (hasId(bytes, pos, "MTrk"))
            file.m_tracks.push_back({origin + std::uint32_t(start), origin + std::uint32_t(start + avail)});
        if (avail < length)
            break; // a truncated last chunk
        pos = start + length;
    }

    if (file.m_tracks.empty()) {
        throw EMidiFileError(MidiText::NoMusic);
    }
    file.m_bytes = std::move(all);
    return file;
}

MidiTrackReader MidiFile::track(std::size_t index) const
{
    const Chunk &c = m_tracks.at(index);
    return MidiTrackReader(m_bytes, c.begin, c.end);
}

void MidiFile::visitMeta(std::size_t index, const MetaVisitor &visit) const
{
    const Chunk &c = m_tracks.at(index);
    const Bytes b = Bytes(m_bytes).first(c.end);
    std::size_t pos = c.begin;
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    RawEvent raw;
    for (;;) {
        std::uint32_t delta = 0;
        if (!readVlq(b, pos, delta) || !readRaw(b, pos, running, raw))
            return;
        tick += delta;
        if (raw.status != 0xFF)
            continue;
        if (raw.metaType == 0x2F)
            return;
        visit(tick, raw.metaType, raw.data);
    }
}
