// Builds Standard MIDI Files byte by byte for tests that need a shape no real
// file in tests/data has.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline Bytes Vlq(std::uint32_t v)
{
    Bytes out{std::uint8_t(v & 0x7F)};
    while (v >>= 7)
        out.insert(out.begin(), std::uint8_t(0x80 | (v & 0x7F)));
    return out;
}

inline void Append(Bytes &to, const Bytes &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

inline void PutBe(Bytes &to, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        to.push_back(std::uint8_t(v >> (8 * i)));
}

class TrackBuilder
{
public:
    // An event after `delta` ticks: its bytes as they stand in the file
    // (status included, or left out for running status).
    TrackBuilder &at(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
    {
        Append(data, Vlq(delta));
        data.insert(data.end(), bytes);
        return *this;
    }
    TrackBuilder &tempo(std::uint32_t delta, std::uint32_t usPerQuarter)
    {
        return at(delta, {0xFF, 0x51, 0x03, std::uint8_t(usPerQuarter >> 16), std::uint8_t(usPerQuarter >> 8),
                          std::uint8_t(usPerQuarter)});
    }
    TrackBuilder &sysex(std::uint32_t delta, std::uint8_t status, const Bytes &payload)
    {
        Append(data, Vlq(delta));
        data.push_back(status);
        Append(data, Vlq(std::uint32_t(payload.size())));
        Append(data, payload);
        return *this;
    }
    TrackBuilder &end(std::uint32_t delta) { return at(delta, {0xFF, 0x2F, 0x00}); }
    // A meta event of `type` whose payload is `text`'s bytes as they stand.
    TrackBuilder &meta(std::uint32_t delta, std::uint8_t type, std::string_view text)
    {
        Append(data, Vlq(delta));
        data.push_back(0xFF);
        data.push_back(type);
        Append(data, Vlq(std::uint32_t(text.size())));
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }

    Bytes data;
};

inline Bytes Chunk(const char *id, const Bytes &body, std::int64_t declared = -1)
{
    Bytes out(id, id + 4);
    PutBe(out, std::uint32_t(declared < 0 ? std::int64_t(body.size()) : declared), 4);
    Append(out, body);
    return out;
}

inline Bytes Smf(int format, int division, const std::vector<TrackBuilder> &tracks, int declaredTracks = -1)
{
    Bytes header;
    PutBe(header, std::uint32_t(format), 2);
    PutBe(header, std::uint32_t(declaredTracks < 0 ? int(tracks.size()) : declaredTracks), 2);
    PutBe(header, std::uint32_t(division), 2);
    Bytes out = Chunk("MThd", header);
    for (const TrackBuilder &t : tracks)
        Append(out, Chunk("MTrk", t.data));
    return out;
}

// RIFF RMID around a Standard MIDI File, with an extra chunk before it.
inline Bytes Rmid(const Bytes &smf)
{
    auto le = [](Bytes &to, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            to.push_back(std::uint8_t(v >> (8 * i)));
    };
    Bytes body{'R', 'M', 'I', 'D'};
    const Bytes info{'I', 'N', 'F', 'O', 'x'}; // odd length: a pad byte follows
    Append(body, Bytes{'L', 'I', 'S', 'T'});
    le(body, std::uint32_t(info.size()));
    Append(body, info);
    body.push_back(0);
    Append(body, Bytes{'d', 'a', 't', 'a'});
    le(body, std::uint32_t(smf.size()));
    Append(body, smf);
    if (smf.size() & 1)
        body.push_back(0);
    Bytes out{'R', 'I', 'F', 'F'};
    le(out, std::uint32_t(body.size()));
    Append(out, body);
    return out;
}

inline bool WriteFile(const QString &path, const Bytes &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly)
        && f.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

inline QByteArray TestMidi(const char *name)
{
    return QByteArray(QUAVETTE_TEST_DATA "/midi/") + name;
}
