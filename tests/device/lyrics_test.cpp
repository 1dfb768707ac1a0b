// Karaoke words read from songs built in code: each case's exact lines and
// the times their first syllables are sung.
#include "device/lyrics.h"
#include "smfbuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::pair<int, std::string>>;

constexpr std::uint8_t Text = 0x01;
constexpr std::uint8_t Lyric = 0x05;

// 96 ticks a quarter at 120 BPM: 96 ticks are 500 ms.
TrackBuilder words(std::uint8_t type, std::initializer_list<std::pair<std::uint32_t, std::string_view>> syllables)
{
    TrackBuilder t;
    for (const auto &[delta, text] : syllables)
        t.meta(delta, type, text);
    return t.end(0);
}

TrackBuilder tune()
{
    return TrackBuilder().at(0, {0x90, 60, 100}).at(960, {0x80, 60, 0}).end(0);
}

struct Case {
    const char *name;
    std::vector<TrackBuilder> tracks;
    Lines lines;
    const char *encoding;
};

TEST(LyricsOfASong, ReadAsSungInTheirOwnEncoding)
{
    const Case cases[] = {
        {"soft karaoke: header codes, \\ and /",
         {words(Text, {{0, "@KMIDI KARAOKE FILE"}}),
          words(Text, {{0, "@LENGL"}, {0, "@TA song"}, {0, "\\Hel"}, {96, "lo "}, {96, "world"}, {96, "/Sec"},
                       {96, "ond"}, {96, "\\Third"}}),
          tune()},
         {{0, "Hello world"}, {1500, "Second"}, {2500, "Third"}},
         "UTF-8"},
        {"lyric events ended by CR and LF, spaces as stored, a tempo change",
         {TrackBuilder().tempo(0, 400000).end(0),
          words(Lyric, {{1, " One  "}, {96, "two\r"}, {96, "three\n"}, {96, "\r"}, {96, "four"}}), tune()},
         {{4, " One  two"}, {804, "three"}, {1604, "four"}},
         "UTF-8"},
        {"Shift-JIS",
         {words(Lyric, {{0, "\x82\xb3\x82\xad\x82\xe7\r"}, {96, "\x82\xcd\x82\xc8"}, {96, "\x82\xaa"}}), tune()},
         {{0, "さくら"}, {500, "はなが"}},
         "CP932"},
        {"EUC-JP",
         {words(Lyric, {{0, "\xa4\xb5\xa4\xaf\xa4\xe9\r"}, {96, "\xa4\xcf\xa4\xca"}}), tune()},
         {{0, "さくら"}, {500, "はな"}},
         "EUC-JP"},
        {"Windows-1252",
         {words(Lyric, {{0, "Caf\xe9 "}, {96, "cr\xe8me\r"}, {96, "\x93na\xefve\x94"}}), tune()},
         {{0, "Café crème"}, {1000, "“naïve”"}},
         "WINDOWS-1252"},
        {"UTF-8",
         {words(Lyric, {{0, "Grüße "}, {96, "aus "}, {96, "Köln"}}), tune()},
         {{0, "Grüße aus Köln"}},
         "UTF-8"},
        {"several tracks: the one with the most syllables; plain text events are not words",
         {words(Text, {{0, "Copyright"}, {0, "nobody"}, {0, "at"}, {0, "all"}}),
          words(Lyric, {{0, "short\r"}, {96, "one"}}), words(Lyric, {{48, "the\r"}, {96, "long\r"}, {96, "one"}}),
          tune()},
         {{250, "the"}, {750, "long"}, {1250, "one"}},
         "UTF-8"},
        {"no words", {tune()}, {}, ""},
    };
    for (const Case &c : cases) {
        const Lyrics lyrics = Lyrics::read(MidiFile::parse(Smf(1, 96, c.tracks)));
        Lines got;
        for (const LyricLine &line : lyrics.lines())
            got.emplace_back(line.ms, line.text());
        EXPECT_EQ(got, c.lines) << c.name;
        EXPECT_EQ(lyrics.encoding(), c.encoding) << c.name;
    }
}

TEST(LyricsOfASong, TheLineSungAtATime)
{
    const Lyrics lyrics =
        Lyrics::read(MidiFile::parse(Smf(1, 96, {words(Lyric, {{96, "a\r"}, {96, "b\r"}, {96, "c"}}), tune()})));
    for (const auto &[ms, line] : std::vector<std::pair<int, int>>{
             {0, -1}, {499, -1}, {500, 0}, {999, 0}, {1000, 1}, {1500, 2}, {99000, 2}})
        EXPECT_EQ(lyrics.lineAt(ms), line) << ms;
    EXPECT_EQ(lyrics.plainText(), "a\nb\nc");
}

} // namespace
