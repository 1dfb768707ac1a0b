// The MIDI file reader and the tempo map, against real files with lengths
// from independent readers, against hand-built files of every shape the
// reader promises to take or refuse, and against damaged bytes.
#include "device/midifile.h"
#include "readattempt.h"
#include "device/song.h"
#include "smfbuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<Song> ReadSong(const Bytes &bytes, std::string *error)
{
    const auto file = Attempt([&] { return MidiFile::parse(bytes); }, error);
    return file ? Attempt([&] { return Song::fromFile(*file); }, error) : std::nullopt;
}

std::string Refusal(const Bytes &bytes)
{
    std::string error;
    EXPECT_FALSE(ReadSong(bytes, &error).has_value());
    return error;
}

int LengthOf(const Bytes &bytes)
{
    std::string error;
    const auto song = ReadSong(bytes, &error);
    EXPECT_TRUE(song.has_value()) << error;
    return song ? song->lengthMs() : -1;
}

struct TrackContents {
    std::vector<MidiEvent> events;
    Bytes sysEx; // the payloads one after another
    std::uint64_t endTick = 0;
};

TrackContents ReadTrack(const MidiFile &file, std::size_t index)
{
    TrackContents t;
    MidiTrackReader reader = file.track(index);
    MidiEvent e;
    while (reader.next(file.bytes(), e, t.sysEx))
        t.events.push_back(e);
    t.endTick = reader.tick();
    return t;
}

Bytes ReadAll(const char *name)
{
    QFile f(QString::fromUtf8(TestMidi(name)));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

TrackBuilder Scale(int notes, std::uint32_t ticksPerNote)
{
    TrackBuilder t;
    for (int i = 0; i < notes; ++i) {
        t.at(0, {0x90, std::uint8_t(60 + i), 100});
        t.at(ticksPerNote, {0x80, std::uint8_t(60 + i), 64});
    }
    return t.end(0);
}

// Reference lengths from the corpus table (eot_ms; jzz_ms for format 2).
struct CorpusCase {
    const char *file;
    double referenceMs; // < 0: the file is refused
    const char *refusal;
    int format;
    int tracks;
};

const CorpusCase Corpus[] = {
    {"jazzsoft__test-2-tracks-type-0.mid", 4500.0, nullptr, 0, 2},
    {"jazzsoft__test-2-tracks-type-1.mid", 4500.0, nullptr, 1, 2},
    {"jazzsoft__test-2-tracks-type-2.mid", 9000.0, nullptr, 2, 2},
    {"jazzsoft__test-all-gs-sounds.mid", 3467750.0, nullptr, 0, 1},
    {"jazzsoft__test-c-major-scale.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-corrupt-file-extra-byte.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-corrupt-file-missing-byte.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-empty-file.mid", -1, MidiText::NotMidi, 0, 0},
    {"jazzsoft__test-empty.mid", -1, MidiText::NoMusic, 0, 0},
    {"jazzsoft__test-illegal-message-all.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-karaoke-kar.mid", 10600.0, nullptr, 1, 3},
    {"jazzsoft__test-non-midi-track.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-not-a-midi-file.mid", -1, MidiText::NotMidi, 0, 0},
    {"jazzsoft__test-running-status-metaevent.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-running-status-sysex.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-silence-all-notes-off.mid", 5000.0, nullptr, 0, 1},
    {"jazzsoft__test-silence-end-of-track.mid", 5000.0, nullptr, 0, 1},
    {"jazzsoft__test-silence-text-metaevent.mid", 5000.0, nullptr, 0, 1},
    {"jazzsoft__test-smpte-offset.mid", 4000.0, nullptr, 0, 1},
    {"jazzsoft__test-sysex-gs-40-1x-15-drum-part-change.mid", 6000.0, nullptr, 0, 1},
    {"jazzsoft__test-track-length.mid", 1500.0, nullptr, 0, 1},
    {"jazzsoft__test-vlq-4-byte.mid", 4000.0, nullptr, 0, 1},
    {"malcohol__test-length-0.mid", 500.0, nullptr, 0, 1},
    {"malcohol__test-length-1.mid", 1000.0, nullptr, 0, 1},
    {"nfroidure__MIDIBadHeaderFormat.mid", 2000.0, nullptr, 3, 1},
    // The readers of the table refuse it; its header length is wrong but its
    // track is whole, so it is read.
    {"nfroidure__MIDIBadHeaderLength.mid", 2000.0, nullptr, 0, 1},
    {"nfroidure__MIDIBadHeaderSMTPE.mid", 250.0, nullptr, 0, 1},
    {"nfroidure__MIDIBadHeaderTracksNum.mid", 2000.0, nullptr, 0, 1},
    {"nfroidure__MIDIBadTrackHdr.mid", -1, MidiText::NoMusic, 0, 0},
    {"nfroidure__MIDIBadTrackLength.mid", 2000.0, nullptr, 0, 1},
    {"nfroidure__MIDIOkFormat2.mid", 3958.3, nullptr, 2, 9},
    {"tonejs__concerto_for_orchestra_1.mid", 530491.7, nullptr, 1, 36},
};

} // namespace

TEST(MidiFileCorpus, LengthsMatchIndependentReadersOrTheFileIsRefused)
{
    for (const CorpusCase &c : Corpus) {
        SCOPED_TRACE(c.file);
        std::string error;
        const auto song = Attempt([&] { return Song::load(TestMidi(c.file).toStdString()); }, &error);
        if (c.referenceMs < 0) {
            EXPECT_FALSE(song.has_value());
            EXPECT_EQ(error, c.refusal);
            continue;
        }
        ASSERT_TRUE(song.has_value()) << error;
        EXPECT_LE(std::fabs(song->lengthMs() - c.referenceMs), 1.0);
        EXPECT_NEAR(double(song->lengthUs()) / 1000.0, c.referenceMs, 0.1);
        EXPECT_EQ(song->format(), c.format);
        EXPECT_EQ(song->trackCount(), c.tracks);
    }
}

TEST(MidiFileCorpus, RunningStatusAfterMetaAndSysexKeepsTheNotes)
{
    for (const char *name : {"jazzsoft__test-running-status-metaevent.mid", "jazzsoft__test-running-status-sysex.mid",
                             "jazzsoft__test-c-major-scale.mid"}) {
        std::string error;
        const auto song = Attempt([&] { return Song::load(TestMidi(name).toStdString()); }, &error);
        ASSERT_TRUE(song.has_value()) << error;
        int noteOns = 0;
        for (const SongEvent &e : song->events())
            noteOns += (e.status & 0xF0) == 0x90 && e.data2 > 0;
        EXPECT_EQ(noteOns, 8) << name; // the eight notes of a C major scale
    }
}

TEST(MidiFileLoad, UnreadableAndOversizedFilesAreRefused)
{
    std::string error;
    EXPECT_FALSE(Attempt([&] { return MidiFile::load("/nonexistent/song.mid"); }, &error));
    EXPECT_EQ(error, MidiText::NotReadable);

    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.mid"));
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("MThd");
    ASSERT_TRUE(f.resize(qint64(MidiFile::MaxFileSize) + 1)); // sparse: no real disk use
    f.close();
    EXPECT_FALSE(Attempt([&] { return MidiFile::load(big.toStdString()); }, &error));
    EXPECT_EQ(error, MidiText::TooLarge);
}

TEST(MidiFileLoad, WhatIsNotARegularFileIsRefusedWithoutWaiting)
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath(QStringLiteral("song.mid")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {fifo, dir.path().toStdString(), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        auto refusal = std::async(std::launch::async, [path] {
            std::string error;
            EXPECT_FALSE(Attempt([&] { return MidiFile::load(path); }, &error));
            return error;
        });
        if (refusal.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            ADD_FAILURE() << "the reader waits for a writer";
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // lets it go
            if (writer >= 0)
                ::close(writer);
        }
        EXPECT_EQ(refusal.get(), MidiText::NotRegular);
    }
}

TEST(MidiFileShapes, ForeignAndEmptyContentIsRefusedWithItsReason)
{
    EXPECT_EQ(Refusal({}), MidiText::NotMidi);
    const std::string text = "Just some notes about music.\n";
    EXPECT_EQ(Refusal(Bytes(text.begin(), text.end())), MidiText::NotMidi);
    const std::string html = "<!DOCTYPE html><html><body>404 Not Found</body></html>";
    EXPECT_EQ(Refusal(Bytes(html.begin(), html.end())), MidiText::NotMidi);
    Bytes wav{'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0};
    wav.resize(44, 0);
    EXPECT_EQ(Refusal(wav), MidiText::NotMidi);

    EXPECT_EQ(Refusal(Smf(1, 96, {})), MidiText::NoMusic);                      // header, no track
    EXPECT_EQ(Refusal(Smf(0, 96, {TrackBuilder().end(0)})), MidiText::NoMusic); // 0 ms
    EXPECT_EQ(Refusal(Smf(0, 0, {Scale(2, 96)})), MidiText::Damaged);            // no time base
    EXPECT_EQ(Refusal(Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0}), MidiText::Damaged);
    Bytes shortHeader = Smf(0, 96, {Scale(2, 96)});
    shortHeader[7] = 4; // MThd length below 6
    EXPECT_EQ(Refusal(shortHeader), MidiText::Damaged);
}

TEST(MidiFileShapes, RiffRmidIsRecognisedByContent)
{
    const Bytes smf = Smf(0, 96, {Scale(3, 96)});
    EXPECT_EQ(LengthOf(Rmid(smf)), 1500);
    Bytes odd = smf;
    odd.push_back(0x00); // odd data size: a pad byte follows the data chunk
    EXPECT_EQ(LengthOf(Rmid(odd)), 1500);
}

TEST(MidiFileShapes, LenientWhereRealFilesNeedIt)
{
    const TrackBuilder scale = Scale(4, 96); // 2000 ms at 120 BPM
    const Bytes plain = Smf(1, 96, {scale});

    Bytes junk(128, 0x00); // e.g. a MacBinary header
    Append(junk, plain);
    EXPECT_EQ(LengthOf(junk), 2000);

    Bytes longHeader = Chunk("MThd", Bytes{0, 1, 0, 1, 0, 96, 0xAA, 0xBB});
    Append(longHeader, Chunk("MTrk", scale.data));
    EXPECT_EQ(LengthOf(longHeader), 2000);

    EXPECT_EQ(LengthOf(Smf(1, 96, {scale}, 7)), 2000); // wrong track count

    TrackBuilder noEnd;
    noEnd.at(0, {0x90, 60, 100}).at(192, {0x80, 60, 0});
    EXPECT_EQ(LengthOf(Smf(0, 96, {noEnd})), 1000);

    Bytes truncated = Smf(0, 96, {scale});
    truncated.resize(truncated.size() - 7); // last note-off and End-of-Track lost
    EXPECT_EQ(LengthOf(truncated), 1500);

    Bytes overlong = Chunk("MThd", Bytes{0, 0, 0, 1, 0, 96});
    Append(overlong, Chunk("MTrk", scale.data, 0x7FFFFFFF)); // claims far more than it has
    EXPECT_EQ(LengthOf(overlong), 2000);

    Bytes extraChunks = Chunk("MThd", Bytes{0, 1, 0, 2, 0, 96});
    Append(extraChunks, Chunk("XFIH", Bytes(10, 0x55)));
    Append(extraChunks, Chunk("MTrk", Scale(1, 96).data));
    Append(extraChunks, Bytes{0x00, 0x01, 0x02}); // garbage where a chunk should be
    Append(extraChunks, Chunk("MTrk", scale.data));
    EXPECT_EQ(LengthOf(extraChunks), 2000);
}

TEST(MidiFileEvents, RunningStatusSysexPacketsAndEscapes)
{
    TrackBuilder t;
    t.at(0, {0x90, 60, 100})
        .at(0, {0xFF, 0x01, 0x02, 'h', 'i'}) // meta: running status survives it
        .at(10, {62, 100})
        .sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .at(10, {64, 100})                          // and survives a sysex too
        .sysex(0, 0xF0, {0x41, 0x10, 0x42})         // first packet of a split sysex
        .sysex(5, 0xF7, {0x12, 0x40, 0x00, 0xF7})   // continuation, ends it
        .sysex(0, 0xF7, {0xB3, 0x07, 0x40})         // escape: raw channel message
        .at(0, {0xF1, 0x10})                        // system common, skipped
        .at(0, {0xFE})                              // real-time, skipped
        .at(0, {66, 100})
        .end(100);
    std::string error;
    const auto file = Attempt([&] { return MidiFile::parse(Smf(0, 96, {t})); }, &error);
    ASSERT_TRUE(file) << error;
    const TrackContents track = ReadTrack(*file, 0);
    std::vector<std::uint8_t> notes;
    std::vector<Bytes> sysex;
    bool escapedController = false;
    std::size_t payload = 0;
    for (const MidiEvent &e : track.events) {
        if (e.kind == MidiEvent::SysEx) {
            sysex.emplace_back(track.sysEx.begin() + std::ptrdiff_t(payload),
                               track.sysEx.begin() + std::ptrdiff_t(payload + e.size));
            payload += e.size;
        } else if (e.kind == MidiEvent::Channel && e.status == 0x90) {
            notes.push_back(e.data1);
        } else if (e.kind == MidiEvent::Channel && e.status == 0xB3 && e.data1 == 7 && e.data2 == 0x40) {
            escapedController = e.tick == 25;
        }
    }
    EXPECT_EQ(notes, (std::vector<std::uint8_t>{60, 62, 64, 66}));
    ASSERT_EQ(sysex.size(), 2u);
    EXPECT_EQ(sysex[0], (Bytes{0x7E, 0x7F, 0x09, 0x01}));
    EXPECT_EQ(sysex[1], (Bytes{0x41, 0x10, 0x42, 0x12, 0x40, 0x00}));
    EXPECT_TRUE(escapedController);
    EXPECT_EQ(track.endTick, 125u);
}

TEST(MidiFileEvents, VariableLengthNumbersOfFourBytesAndNoMore)
{
    TrackBuilder t;
    t.at(0x0FFFFFFF, {0x90, 60, 100}).end(0);
    std::string error;
    auto file = Attempt([&] { return MidiFile::parse(Smf(0, 96, {t})); }, &error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(ReadTrack(*file, 0).endTick, 0x0FFFFFFFu);

    TrackBuilder five;
    five.at(96, {0x90, 60, 100});
    Append(five.data, Bytes{0x81, 0x80, 0x80, 0x80, 0x00, 0x80, 60, 0}); // five-byte delta
    file = Attempt([&] { return MidiFile::parse(Smf(0, 96, {five})); }, &error);
    ASSERT_TRUE(file) << error;
    const TrackContents track = ReadTrack(*file, 0);
    EXPECT_EQ(track.events.size(), 1u); // the rest is unreadable and dropped
    EXPECT_EQ(track.endTick, 96u);
}

TEST(TempoMap, TempoChangesAreExactToTheMicrosecond)
{
    TrackBuilder t;
    t.at(0, {0x90, 60, 100}).tempo(96, 250000).at(96, {0x80, 60, 0}).end(0);
    EXPECT_EQ(LengthOf(Smf(0, 96, {t})), 750); // 500 ms at 120 BPM, then 250 ms at 240

    // 30,000 tempo changes whose tick lengths are not whole microseconds:
    // any rounding per change would drift by many milliseconds.
    TrackBuilder many;
    std::uint64_t exactNumerator = 0; // microseconds × ticks per quarter
    constexpr int Division = 7;
    std::uint32_t tempo = 500000;
    for (int i = 0; i < 30000; ++i) {
        const std::uint32_t next = 333333 + std::uint32_t(i % 3);
        many.tempo(i == 0 ? 0 : 1, next);
        if (i > 0)
            exactNumerator += tempo;
        tempo = next;
    }
    many.end(1);
    exactNumerator += tempo;
    std::string error;
    const auto song = ReadSong(Smf(1, Division, {many}), &error);
    ASSERT_TRUE(song) << error;
    EXPECT_EQ(song->lengthUs(), std::int64_t(exactNumerator / Division));
}

TEST(TempoMap, TempoEventsOfAnyTrackApplyToAllTracks)
{
    TrackBuilder conductor;
    conductor.tempo(0, 1000000).end(0);
    TrackBuilder music;
    music.at(0, {0x90, 60, 100}).at(96, {0x80, 60, 0}).end(0);
    EXPECT_EQ(LengthOf(Smf(1, 96, {conductor, music})), 1000);
    EXPECT_EQ(LengthOf(Smf(1, 96, {music, conductor})), 1000);
}

TEST(TempoMap, SmpteDivisionIgnoresTempo)
{
    TrackBuilder t;
    t.tempo(0, 1000000).at(0, {0x90, 60, 100}).at(1234, {0x80, 60, 0}).end(0);
    EXPECT_EQ(LengthOf(Smf(0, 0xE728, {t})), 1234); // 25 fps × 40 ticks: 1 ms a tick

    TrackBuilder drop;
    drop.at(0, {0x90, 60, 100}).at(2997, {0x80, 60, 0}).end(0);
    EXPECT_EQ(LengthOf(Smf(0, 0xE364, {drop})), 1000); // 29.97 fps × 100 ticks
}

TEST(Song, FormatTwoPlaysItsSequencesOneAfterAnother)
{
    TrackBuilder fast;
    fast.tempo(0, 250000).at(0, {0x90, 60, 100}).at(96, {0x80, 60, 0}).end(0); // 250 ms
    TrackBuilder plain;
    plain.at(0, {0x91, 64, 100}).at(96, {0x81, 64, 0}).end(0); // 500 ms: its own map
    std::string error;
    const auto song = ReadSong(Smf(2, 96, {fast, plain}), &error);
    ASSERT_TRUE(song) << error;
    EXPECT_EQ(song->lengthMs(), 750);
    std::vector<std::int64_t> secondSequence;
    for (const SongEvent &e : song->events())
        if ((e.status & 0x0F) == 1)
            secondSequence.push_back(e.us);
    EXPECT_EQ(secondSequence, (std::vector<std::int64_t>{250000, 750000}));
}

TEST(Song, ManySequencesAddUpExactly)
{
    struct Case {
        const char *division;
        int bits;
        std::size_t sequences; // of one tick each
        std::int64_t exactUs;  // of them all, rounded down
    } cases[] = {
        {"960 PPQ at 120 BPM: a tick is 520.83 µs", 960, 10000, 10000LL * 500000 / 960},
        {"25 fps × 3: a tick is 13,333.33 µs", 0xE703, 3000, 3000LL * 1000000 / 75},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.division);
        TrackBuilder tick;
        tick.at(0, {0x90, 60, 100}).at(1, {0x80, 60, 0}).end(0);
        const std::vector<TrackBuilder> sequences(c.sequences, tick);
        std::string error;
        const auto song = ReadSong(Smf(2, c.bits, sequences), &error);
        ASSERT_TRUE(song) << error;
        EXPECT_EQ(song->lengthMs(), (c.exactUs + 500) / 1000);
        EXPECT_EQ(song->events().back().us, c.exactUs);
    }
}

// The peak of resident memory while `work` runs, over what was resident
// before (freed memory given back first, so that work cannot reuse it
// unseen); nullopt where the kernel cannot reset the peak.
std::optional<std::int64_t> PeakGrowthBytes(const std::function<void()> &work)
{
    const auto status = [](const char *key) {
        std::ifstream in("/proc/self/status");
        for (std::string line; std::getline(in, line);)
            if (line.rfind(key, 0) == 0)
                return std::stoll(line.substr(std::strlen(key))) * 1024;
        return -1LL;
    };
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    if (!(clear << "5" << std::flush))
        return std::nullopt;
    const std::int64_t before = status("VmRSS:");
    work();
    return status("VmHWM:") - before;
}

TEST(Song, LoadingTakesAFewTimesTheFileSize)
{
    struct Case {
        const char *layout;
        Bytes first;
        Bytes next; // under running status
        double mostTimesFileSize;
    } cases[] = {
        {"notes, three bytes each", {0x90, 60, 100}, {0x00, 60, 100}, 4.0},
        {"program changes, two bytes each: the densest layout", {0xC0, 5}, {0x00, 5}, 6.0},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.layout);
        const QString path = dir.filePath(QStringLiteral("dense.mid"));
        {
            TrackBuilder t;
            t.data = Vlq(0);
            Append(t.data, c.first);
            while (t.data.size() < 8u * 1024 * 1024)
                Append(t.data, c.next);
            ASSERT_TRUE(WriteFile(path, Smf(0, 96, {t.end(96)})));
        }
        const double fileSize = double(QFileInfo(path).size());
        std::optional<Song> song;
        const auto growth = PeakGrowthBytes([&] {
            std::string error;
            song = Attempt([&] { return Song::load(path.toStdString()); }, &error);
        });
        if (!growth)
            GTEST_SKIP() << "/proc/self/clear_refs cannot reset the peak here";
        ASSERT_TRUE(song);
        EXPECT_LE(double(*growth) / fileSize, c.mostTimesFileSize) << *growth << " bytes at the peak";
    }
}

TEST(Song, EventsOfEqualTimeKeepTrackOrder)
{
    TrackBuilder a, b;
    a.at(0, {0xC0, 10}).at(96, {0x90, 60, 100}).at(96, {0x80, 60, 0}).end(0);
    b.at(0, {0xC0, 20}).at(96, {0xC0, 30}).end(96);
    std::string error;
    const auto song = ReadSong(Smf(1, 96, {a, b}), &error);
    ASSERT_TRUE(song) << error;
    std::vector<int> order;
    for (const SongEvent &e : song->events())
        order.push_back((e.status & 0xF0) == 0xC0 ? e.data1 : e.data1 + 1000 * (e.data2 > 0));
    EXPECT_EQ(order, (std::vector<int>{10, 20, 1060, 30, 60}));
}

TEST(Song, ALengthBeyondWhatPositionsCanHoldIsRefused)
{
    TrackBuilder t;
    t.tempo(0, 0xFFFFFF);
    for (int i = 0; i < 64; ++i)
        t.at(0x0FFFFFFF, {0x90, 60, 0});
    t.end(0);
    EXPECT_EQ(Refusal(Smf(0, 1, {t})), MidiText::TooLong);
}

// Damaged bytes: every truncation and many mutations of real files must give
// a song or a refusal, never a crash, a hang or memory out of proportion.
TEST(MidiFileRobustness, TruncationAndMutationAtEveryOffset)
{
    const char *files[] = {
        "jazzsoft__test-karaoke-kar.mid",
        "jazzsoft__test-sysex-gs-40-1x-15-drum-part-change.mid",
        "jazzsoft__test-running-status-sysex.mid",
        "nfroidure__MIDIOkFormat2.mid",
        "nfroidure__MIDIBadHeaderSMTPE.mid",
    };
    std::vector<Bytes> inputs;
    for (const char *name : files)
        inputs.push_back(ReadAll(name));
    inputs.push_back(Rmid(inputs[0]));

    int songs = 0, refusals = 0;
    auto check = [&](const Bytes &bytes) {
        std::string error;
        const auto file = Attempt([&] { return MidiFile::parse(bytes); }, &error);
        if (!file) {
            ++refusals;
            EXPECT_FALSE(error.empty());
            return;
        }
        std::size_t events = 0, sysExBytes = 0;
        for (std::size_t t = 0; t < file->trackCount(); ++t) {
            const TrackContents track = ReadTrack(*file, t);
            events += track.events.size();
            sysExBytes += track.sysEx.size();
        }
        EXPECT_LE(events, bytes.size());
        EXPECT_LE(sysExBytes, bytes.size());
        const auto song = Attempt([&] { return Song::fromFile(*file); }, &error);
        if (song) {
            ++songs;
            EXPECT_GT(song->lengthMs(), 0);
            EXPECT_TRUE(std::is_sorted(song->events().begin(), song->events().end(),
                                       [](const SongEvent &a, const SongEvent &b) { return a.us < b.us; }));
            EXPECT_LE(song->events().empty() ? 0 : song->events().back().us, song->lengthUs());
        } else {
            ++refusals;
        }
    };
    for (const Bytes &input : inputs) {
        for (std::size_t cut = 0; cut <= input.size(); ++cut)
            check(Bytes(input.begin(), input.begin() + std::ptrdiff_t(cut)));
        for (std::size_t at = 0; at < input.size(); ++at) {
            for (const int value : {0x00, 0x7F, 0x80, 0xF0, 0xF7, 0xFF, input[at] ^ 0x40}) {
                Bytes mutated = input;
                mutated[at] = std::uint8_t(value);
                check(mutated);
            }
        }
    }
    EXPECT_GT(songs, 0);
    EXPECT_GT(refusals, 0);
}

TEST(MidiFileRobustness, LargeRealFileSurvivesStridedDamage)
{
    const Bytes input = ReadAll("tonejs__concerto_for_orchestra_1.mid");
    for (std::size_t at = 0; at < input.size(); at += 997) {
        Bytes mutated = input;
        mutated[at] = 0xFF;
        std::string error;
        const auto song = ReadSong(mutated, &error);
        EXPECT_TRUE(song || !error.empty());
        const auto cut = ReadSong(Bytes(input.begin(), input.begin() + std::ptrdiff_t(at)), &error);
        EXPECT_TRUE(cut || !error.empty());
    }
}
