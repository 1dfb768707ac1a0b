#include "device/midifile.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::span<const std::uint8_t>;

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

} // namespace

std::optional<MidiFile> MidiFile::load(const std::string &path, std::string *error)
{
    // Opening a FIFO waits for a writer and opening a device can act on it:
    // look first, then open without waiting and check again what was opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *error = MidiText::NotReadable;
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = MidiText::NotRegular;
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *error = MidiText::NotReadable;
        return std::nullopt;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = MidiText::NotRegular;
        return std::nullopt;
    }
    if (std::uint64_t(st.st_size) > MaxFileSize) {
        ::close(fd);
        *error = MidiText::TooLarge;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            ::close(fd);
            *error = MidiText::NotReadable;
            return std::nullopt;
        }
        if (n == 0)
            break; // the file shrank while being read: take what is there
        done += std::size_t(n);
    }
    ::close(fd);
    bytes.resize(done);
    return parse(bytes, error);
}

std::optional<MidiFile> MidiFile::parse(Bytes bytes, std::string *error)
{
    if (bytes.size() > MaxFileSize) {
        *error = MidiText::TooLarge;
        return std::nullopt;
    }
    if (const auto data = rmidData(bytes))
        bytes = *data;

    std::size_t header = 0;
    const std::size_t searchEnd = std::min(bytes.size(), HeaderSearchLimit);
    while (header < searchEnd && !hasId(bytes, header, "MThd"))
        ++header;
    if (header >= searchEnd) {
        *error = MidiText::NotMidi;
        return std::nullopt;
    }
    if (header + 14 > bytes.size()) {
        *error = MidiText::Damaged;
        return std::nullopt;
    }
    const std::uint8_t *h = bytes.data() + header;
    const std::uint32_t headerLength = be32(h + 4);
    if (headerLength < 6) {
        *error = MidiText::Damaged;
        return std::nullopt;
    }

    MidiFile file;
    file.m_format = h[8] << 8 | h[9];
    const int division = h[12] << 8 | h[13];
    if (division & 0x8000) {
        file.m_division.smpte = true;
        file.m_division.framesPerSecond = -std::int8_t(division >> 8);
        file.m_division.ticksPerFrame = division & 0xFF;
        if (file.m_division.framesPerSecond <= 0 || file.m_division.ticksPerFrame == 0) {
            *error = MidiText::Damaged;
            return std::nullopt;
        }
    } else {
        file.m_division.ticksPerQuarter = division;
        if (division == 0) {
            *error = MidiText::Damaged;
            return std::nullopt;
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
            file.readTrack(bytes.subspan(start, avail));
        if (avail < length)
            break; // a truncated last chunk
        pos = start + length;
    }

    if (file.m_tracks.empty()) {
        *error = MidiText::NoMusic;
        return std::nullopt;
    }
    file.m_pendingSysEx.clear();
    file.m_pendingSysEx.shrink_to_fit();
    return file;
}

void MidiFile::addSysEx(MidiTrack &track, std::uint64_t tick, Bytes payload)
{
    if (payload.empty())
        return;
    MidiEvent e;
    e.tick = tick;
    e.kind = MidiEvent::SysEx;
    e.value = std::uint32_t(m_sysEx.size());
    e.size = std::uint32_t(payload.size());
    m_sysEx.insert(m_sysEx.end(), payload.begin(), payload.end());
    track.events.push_back(e);
}

// An F7 event with no sysex waiting for its continuation: raw bytes to send
// as they stand. Only what forms whole messages is kept.
void MidiFile::addEscaped(MidiTrack &track, std::uint64_t tick, Bytes bytes)
{
    if (bytes.empty())
        return;
    const std::uint8_t status = bytes[0];
    if (status == 0xF0) {
        Bytes payload = bytes.subspan(1);
        if (!payload.empty() && payload.back() == 0xF7)
            payload = payload.first(payload.size() - 1);
        addSysEx(track, tick, payload);
        return;
    }
    if (status < 0x80 || status >= 0xF0)
        return;
    const std::size_t n = std::size_t(channelDataLength(status));
    if (bytes.size() < 1 + n || bytes[1] >= 0x80 || (n == 2 && bytes[2] >= 0x80))
        return;
    MidiEvent e;
    e.tick = tick;
    e.status = status;
    e.data1 = bytes[1];
    e.data2 = n == 2 ? bytes[2] : 0;
    track.events.push_back(e);
}

void MidiFile::readTrack(Bytes b)
{
    MidiTrack track;
    std::uint64_t tick = 0;
    std::uint64_t lastComplete = 0;
    bool ended = false;
    std::uint8_t running = 0;
    m_sysExOpen = false;
    m_pendingSysEx.clear();
    std::size_t pos = 0;

    while (pos < b.size() && !ended) {
        std::uint32_t delta = 0;
        if (!readVlq(b, pos, delta) || pos >= b.size())
            break;
        std::uint8_t status = b[pos];
        if (status & 0x80) {
            ++pos;
        } else if (running) {
            status = running;
        } else {
            break; // a data byte with no status to run on: the rest is unreadable
        }
        const std::uint64_t at = tick + delta;

        if (status < 0xF0) {
            const std::size_t n = std::size_t(channelDataLength(status));
            if (pos + n > b.size() || b[pos] >= 0x80 || (n == 2 && b[pos + 1] >= 0x80))
                break;
            MidiEvent e;
            e.tick = at;
            e.status = status;
            e.data1 = b[pos];
            e.data2 = n == 2 ? b[pos + 1] : 0;
            track.events.push_back(e);
            pos += n;
            running = status;
        } else if (status == 0xFF) {
            if (pos >= b.size())
                break;
            const std::uint8_t type = b[pos++];
            std::uint32_t length = 0;
            if (!readVlq(b, pos, length) || length > b.size() - pos)
                break;
            if (type == 0x2F) {
                ended = true;
            } else if (type == 0x51 && length >= 3) {
                const std::uint32_t tempo = std::uint32_t(b[pos]) << 16 | b[pos + 1] << 8 | b[pos + 2];
                if (tempo > 0) {
                    MidiEvent e;
                    e.tick = at;
                    e.kind = MidiEvent::Tempo;
                    e.value = tempo;
                    track.events.push_back(e);
                }
            }
            pos += length;
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!readVlq(b, pos, length) || length > b.size() - pos)
                break;
            const Bytes data = b.subspan(pos, length);
            pos += length;
            const bool terminated = !data.empty() && data.back() == 0xF7;
            if (status == 0xF0) {
                m_pendingSysEx.assign(data.begin(), data.end());
                m_sysExOpen = !terminated;
            } else if (m_sysExOpen) {
                m_pendingSysEx.insert(m_pendingSysEx.end(), data.begin(), data.end());
                m_sysExOpen = !terminated;
            } else {
                addEscaped(track, at, data);
            }
            if ((status == 0xF0 || !m_pendingSysEx.empty()) && !m_sysExOpen && terminated) {
                addSysEx(track, at, Bytes(m_pendingSysEx).first(m_pendingSysEx.size() - 1));
                m_pendingSysEx.clear();
            }
        } else {
            const std::size_t n = std::size_t(systemDataLength(status));
            if (pos + n > b.size())
                break;
            pos += n;
        }
        tick = at;
        lastComplete = at;
    }

    track.endTick = lastComplete;
    m_tracks.push_back(std::move(track));
}
