// Songs of millions of events, built in memory for the memory and burst
// benchmarks: every layout that packs many events into few bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace hostile {

using Bytes = std::vector<std::uint8_t>;

inline void vlq(Bytes &out, std::uint32_t v)
{
    std::uint8_t buf[4];
    int n = 0;
    buf[n++] = v & 0x7F;
    while (v >>= 7)
        buf[n++] = 0x80 | (v & 0x7F);
    while (n)
        out.push_back(buf[--n]);
}

inline void be(Bytes &out, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

inline void append(Bytes &to, const Bytes &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

class File
{
public:
    File(int format, int division) : m_bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6}
    {
        be(m_bytes, std::uint32_t(format), 2);
        be(m_bytes, 0, 2); // the count is not trusted; filled in by bytes()
        be(m_bytes, std::uint32_t(division), 2);
    }
    void track(const Bytes &body)
    {
        m_bytes.insert(m_bytes.end(), {'M', 'T', 'r', 'k'});
        be(m_bytes, std::uint32_t(body.size()), 4);
        append(m_bytes, body);
        ++m_tracks;
    }
    std::size_t size() const { return m_bytes.size(); }
    Bytes bytes() const
    {
        Bytes b = m_bytes;
        b[10] = std::uint8_t(std::min(m_tracks, 0xFFFF) >> 8);
        b[11] = std::uint8_t(std::min(m_tracks, 0xFFFF));
        return b;
    }

private:
    Bytes m_bytes;
    int m_tracks = 0;
};

// One track: `first` once, then `next` until the track holds `size` bytes,
// then End-of-Track a quarter note later.
inline Bytes repeated(const Bytes &first, const Bytes &next, std::size_t size)
{
    Bytes t;
    append(t, first);
    while (t.size() + next.size() + 4 <= size)
        append(t, next);
    t.insert(t.end(), {0x60, 0xFF, 0x2F, 0x00});
    return t;
}

inline const Bytes GmReset = {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

struct Layout {
    const char *name;
    std::function<File()> make;
};

inline std::vector<Layout> layouts()
{
    constexpr std::size_t MB = 1024 * 1024;
    const std::size_t size = 12 * MB;
    return {
        {"notes, running status (3 B each)",
         [=] { File f(0, 96); f.track(repeated({0x00, 0x90, 60, 100}, {0x01, 60, 100}, size)); return f; }},
        {"notes, each with its status (4 B)",
         [=] { File f(0, 96); f.track(repeated({0x00, 0x90, 60, 100}, {0x01, 0x90, 60, 100}, size)); return f; }},
        {"program changes, running status (2 B)",
         [=] { File f(0, 96); f.track(repeated({0x00, 0xC0, 5}, {0x00, 5}, size)); return f; }},
        {"program changes over 16 tracks",
         [=] {
             File f(1, 96);
             for (int t = 0; t < 16; ++t)
                 f.track(repeated({0x00, std::uint8_t(0xC0 | t), 5}, {0x01, 5}, size / 16));
             return f;
         }},
        {"one event a track, 1,000,000 tracks",
         [] {
             File f(1, 96);
             for (int t = 0; t < 1000000; ++t)
                 f.track({0x00, 0xC0, 5});
             f.track({0x60, 0xFF, 0x2F, 0x00});
             return f;
         }},
        {"format 2, 100,000 sequences of notes",
         [=] {
             File f(2, 96);
             for (int t = 0; t < 100000; ++t)
                 f.track(repeated({0x00, 0x90, 60, 100}, {0x01, 60, 100}, size / 100000));
             return f;
         }},
        {"tempo changes (7 B)",
         [=] {
             File f(0, 96);
             f.track(repeated({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, {0x01, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                              size));
             return f;
         }},
        {"short sysex (5 B)",
         [=] { File f(0, 96); f.track(repeated({0x00, 0xF0, 0x02, 0x43, 0xF7}, {0x00, 0xF0, 0x02, 0x43, 0xF7}, size)); return f; }},
        {"sysex in packets (8 B)",
         [=] {
             File f(0, 96);
             f.track(repeated({0x00, 0x90, 60, 100}, {0x00, 0xF0, 0x01, 0x43, 0x00, 0xF7, 0x01, 0xF7}, size));
             return f;
         }},
        {"attack: 100,000 GM resets (800 KB)",
         [] { File f(0, 96); f.track(repeated(GmReset, GmReset, 100000 * GmReset.size() + 4)); return f; }},
        {"attack: 8.4 million program changes (16 MB)",
         [=] { File f(0, 96); f.track(repeated({0x00, 0xC0, 5}, {0x00, 5}, 16 * MB - 64)); return f; }},
    };
}

inline std::string write(const File &file)
{
    const std::string path = "/tmp/quavette-hostile-" + std::to_string(getpid()) + ".mid";
    const Bytes bytes = file.bytes();
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

} // namespace hostile
