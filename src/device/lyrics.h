// The words of a karaoke song, as lines of timed syllables. They come from
// lyric events, or from the text events of a "Soft Karaoke" file (whose
// header codes begin with '@'); where several tracks carry words, the one
// with the most syllables is sung. A syllable starting with '\' begins a new
// paragraph and one starting with '/' a new line; a CR or LF in a syllable
// ends its line. Spaces are kept as stored.
#pragma once

#include "device/midifile.h"

#include <cstdint>
#include <string>
#include <vector>

struct LyricSyllable {
    std::int64_t us = 0; // from the start of the song
    int ms = 0;          // the same, rounded as a song's length is
    std::string text;    // UTF-8, without the line markers
};

struct LyricLine {
    std::int64_t us = 0; // its first syllable's
    int ms = 0;
    std::vector<LyricSyllable> syllables;

    std::string text() const;
};

class Lyrics
{
public:
    // Never throws for what the tracks hold: a song with no words has none.
    static Lyrics read(const MidiFile &file);
    // Throws EMidiFileError for a file that cannot be read.
    static Lyrics load(const std::string &path);

    const std::vector<LyricLine> &lines() const { return m_lines; }
    bool empty() const { return m_lines.empty(); }
    // The encoding the words were read in.
    const std::string &encoding() const { return m_encoding; }
    // The line being sung at `ms`: the last one begun by then, -1 before the
    // first.
    int lineAt(int ms) const;
    // The whole text, one line per line.
    std::string plainText() const;

private:
    std::vector<LyricLine> m_lines;
    std::string m_encoding;
};
