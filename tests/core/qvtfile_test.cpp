// The ".qvt" reader and writer: exact bytes, the reader's edge cases, and the
// streaming limits that keep a wrongly chosen huge file cheap.
#include "core/qvtfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/bytefiles.h"

#include <sys/stat.h>

namespace {

QList<TQVTItem> items(std::initializer_list<QByteArray> paths)
{
    QList<TQVTItem> out;
    for (const QByteArray &p : paths)
        out.append(TQVTItem{p});
    return out;
}

QList<QByteArray> paths(const QvtReadResult &r)
{
    QList<QByteArray> out;
    for (const TQVTItem &item : r.items)
        out.append(item.Path);
    return out;
}

QvtReadResult parse(const QByteArray &bytes)
{
    return ParseQvtBytes(bytes, "/lists/a.qvt");
}

std::string readErrorOf(const QByteArray &bytes)
{
    try {
        parse(bytes);
    } catch (const EPlaylistFileError &e) {
        return e.what();
    }
    return "(no error)";
}

QByteArray numberedLines(int count, const QByteArray &end = "\r\n")
{
    QByteArray out;
    for (int k = 0; k < count; ++k)
        out += "p" + QByteArray::number(k) + end;
    return out;
}

class QvtFileTest : public ::testing::Test
{
protected:
    QByteArray path(const char *name) const { return QFile::encodeName(m_dir.path()) + '/' + name; }
    void write(const QByteArray &fileName, const QByteArray &bytes) { ASSERT_TRUE(WriteBytes(fileName, bytes)); }
    QByteArray read(const QByteArray &fileName) { return ReadBytes(fileName); }
    QTemporaryDir m_dir;
};

const QList<QByteArray> awkwardPaths = {
    "/music/with space/a b.mid",
    "/music/(brackets)/x (1).mid",
    "/musik/Größe/日本語.mid",
    QByteArray("/sjis/\x83\x7e\x83\x85\x81\x5b\x83\x57\x83\x62\x83\x4e.mid"), // not UTF-8
    QByteArray("/latin1/caf\xe9 \xff.mid"),
    "  blanks kept  ",
    "",
};

} // namespace

TEST(SerializeQvt, WritesMagicCountAndPathsWithCrLf)
{
    EXPECT_EQ(SerializeQvt(items({"/a/one.mid", "/b/two.mid"})),
              QByteArray("QVT1.10\r\n2\r\n/a/one.mid\r\n/b/two.mid\r\n"));
    EXPECT_EQ(SerializeQvt({}), QByteArray("QVT1.10\r\n0\r\n"));
}

TEST(SerializeQvt, KeepsEveryPathByteForByte)
{
    QList<TQVTItem> list;
    QByteArray expected = "QVT1.10\r\n" + QByteArray::number(awkwardPaths.size()) + "\r\n";
    for (const QByteArray &p : awkwardPaths) {
        list.append(TQVTItem{p});
        expected += p + "\r\n";
    }
    EXPECT_EQ(SerializeQvt(list), expected);
}

TEST(ParseQvtBytes, ReadsWhatTheWriterWrote)
{
    QList<TQVTItem> list;
    for (const QByteArray &p : awkwardPaths)
        list.append(TQVTItem{p});
    const QvtReadResult r = parse(SerializeQvt(list));
    EXPECT_EQ(r.status, QvtReadStatus::Read);
    EXPECT_EQ(paths(r), awkwardPaths);
}

TEST(ParseQvtBytes, FilesWithoutLinesChangeNothing)
{
    EXPECT_EQ(parse("").status, QvtReadStatus::NothingRead);
    EXPECT_EQ(parse(QByteArray("\0QVT1.10\r\n1\r\na\r\n", 16)).status, QvtReadStatus::NothingRead);
}

TEST(ParseQvtBytes, CountBoundary)
{
    const QvtReadResult atLimit = parse("QVT1.10\r\n65535\r\n" + numberedLines(65535));
    ASSERT_EQ(atLimit.status, QvtReadStatus::Read);
    EXPECT_EQ(atLimit.items.size(), 65535);
    EXPECT_EQ(atLimit.items.last().Path, QByteArray("p65534"));

    EXPECT_EQ(parse("QVT1.10\r\n65536\r\n" + numberedLines(65536)).status, QvtReadStatus::BadFile);
    EXPECT_EQ(parse("QVT1.10\r\n99999999999999999999999\r\n").status, QvtReadStatus::BadFile);
}

TEST(ParseQvtBytes, CountLineForms)
{
    for (const char *count : {"2", " 2 ", "\t2", "0002", "+2", " +02\t"}) {
        const QvtReadResult r = parse("QVT1.10\r\n" + QByteArray(count) + "\r\na\r\nb\r\n");
        EXPECT_EQ(r.status, QvtReadStatus::Read) << count;
        EXPECT_EQ(paths(r), QList<QByteArray>({"a", "b"})) << count;
    }
    const QvtReadResult empty = parse("QVT1.10\r\n0\r\nignored\r\n");
    EXPECT_EQ(empty.status, QvtReadStatus::Read);
    EXPECT_TRUE(empty.items.isEmpty());
}

TEST(ParseQvtBytes, CountErrorsNameFileAndReason)
{
    const std::string prefix = "Cannot read the playlist file /lists/a.qvt: ";
    EXPECT_EQ(readErrorOf("QVT1.10\r\n"), prefix + "the entry count is missing");
    EXPECT_EQ(readErrorOf("QVT1.10"), prefix + "the entry count is missing");
    EXPECT_EQ(readErrorOf("QVT1.10\r\n\r\na\r\n"), prefix + "the entry count is not a number");
    EXPECT_EQ(readErrorOf("QVT1.10\r\n2x\r\na\r\nb\r\n"), prefix + "the entry count is not a number");
    EXPECT_EQ(readErrorOf("QVT1.10\r\n1 2\r\na\r\n"), prefix + "the entry count is not a number");
    EXPECT_EQ(readErrorOf("QVT1.10\r\n0x10\r\n"), prefix + "the entry count is not a number");
    EXPECT_EQ(readErrorOf("QVT1.10\r\n-\r\n"), prefix + "the entry count is not a number");
    EXPECT_EQ(readErrorOf("QVT1.10\r\n-1\r\n"), prefix + "the entry count is negative");
}

TEST(ParseQvtBytes, FewerPathsThanTheCountIsAnError)
{
    EXPECT_EQ(readErrorOf("QVT1.10\r\n3\r\na\r\nb\r\n"),
              "Cannot read the playlist file /lists/a.qvt: the file ends before its 3 entries");
}

TEST(ParseQvtBytes, PathsAfterTheCountAreIgnored)
{
    EXPECT_EQ(paths(parse("QVT1.10\r\n1\r\na\r\nb\r\nc\r\n")), QList<QByteArray>({"a"}));
}

TEST(ParseQvtBytes, StopsReadingOnceItHasItsLines)
{
    // Whatever follows the entries, even a line no playlist could hold, is
    // never read.
    const QByteArray huge(1 << 20, 'x');
    EXPECT_EQ(paths(parse("QVT1.10\r\n1\r\na\r\n" + huge)), QList<QByteArray>({"a"}));
    EXPECT_EQ(parse(numberedLines(65536) + huge).status, QvtReadStatus::BadFile);
    EXPECT_EQ(parse("QVT1.10\r\n70000\r\n" + huge).status, QvtReadStatus::BadFile);
}

TEST(ParseQvtBytes, AnOverlongLineIsRefused)
{
    EXPECT_EQ(readErrorOf("QVT1.10\r\n1\r\n" + QByteArray(1 << 20, 'x')),
              "Cannot read the playlist file /lists/a.qvt: a line is longer than 65536 bytes");
    // The longest allowed line still reads.
    const QByteArray longest(65536, 'y');
    EXPECT_EQ(paths(parse("QVT1.10\r\n1\r\n" + longest)), QList<QByteArray>({longest}));
}

TEST(ParseQvtBytes, MagicMustMatchExactly)
{
    // Not the magic: read as the older layout, each line through
    // LegacyLineToPath, so the count line too becomes an (empty) entry.
    for (const char *first : {"qvt1.10", "QVT1.10 ", " QVT1.10", "QVT1.1", "QVT1.100"}) {
        const QvtReadResult r = parse(QByteArray(first) + "\r\n1\r\nx(/a/x.mid)\r\n");
        EXPECT_EQ(r.status, QvtReadStatus::Read) << first;
        EXPECT_EQ(paths(r), QList<QByteArray>({"", "", "/a/x.mid"})) << first;
    }
}

TEST(ParseQvtBytes, LegacyLayoutHasOneEntryPerLine)
{
    const QvtReadResult r = parse("song.mid(/music/song.mid)\r\n"
                                  "a (b).mid(/x/a (b).mid)\r\n"
                                  "no brackets\r\n"
                                  "two(/x(y)\r\n"
                                  "\r\n");
    EXPECT_EQ(paths(r), QList<QByteArray>({"/music/song.mid", "/x/a (b).mid", "", "", ""}));
    EXPECT_EQ(r.unreadLines, 2) << "an empty line held nothing to lose";
}

TEST(ParseQvtBytes, OneLineBreakIsOneEmptyEntry)
{
    for (const char *bytes : {"\n", "\r", "\r\n"}) {
        const QvtReadResult r = parse(bytes);
        EXPECT_EQ(r.status, QvtReadStatus::Read);
        EXPECT_EQ(paths(r), QList<QByteArray>({""}));
    }
}

TEST(ParseQvtBytes, LegacyLineBoundary)
{
    EXPECT_EQ(parse(numberedLines(65535)).items.size(), 65535);
    const QvtReadResult over = parse(numberedLines(65536));
    EXPECT_EQ(over.status, QvtReadStatus::BadFile);
    EXPECT_TRUE(over.items.isEmpty());
    // A last line without a line end still counts.
    EXPECT_EQ(parse(numberedLines(65535) + "tail").status, QvtReadStatus::BadFile);
}

TEST(ParseQvtBytes, SplitsAtCrLfLoneCrAndLoneLf)
{
    EXPECT_EQ(paths(parse("QVT1.10\r4\na\r\nb\rc\nd")), QList<QByteArray>({"a", "b", "c", "d"}));
    // A lone CR then CR LF are two line ends; LF CR too.
    EXPECT_EQ(paths(parse("QVT1.10\n4\na\r\r\nb\n\rc")), QList<QByteArray>({"a", "", "b", ""}));
}

TEST(ParseQvtBytes, ANulEndsTheText)
{
    EXPECT_EQ(paths(parse(QByteArray("QVT1.10\r\n2\r\na\r\nb\0c\r\nd\r\n", 23))), QList<QByteArray>({"a", "b"}));
    EXPECT_EQ(readErrorOf(QByteArray("QVT1.10\r\n2\r\na\r\n\0b\r\n", 19)),
              "Cannot read the playlist file /lists/a.qvt: the file ends before its 2 entries");
    EXPECT_EQ(paths(parse(QByteArray("x(/a)\r\n\0y(/b)\r\n", 15))), QList<QByteArray>({"/a"}));
}

TEST(ParseQvtBytes, AUtf8ByteOrderMarkIsNoPartOfTheFirstLine)
{
    EXPECT_EQ(paths(parse("\xEF\xBB\xBFQVT1.10\r\n1\r\n/a.mid\r\n")), QList<QByteArray>({"/a.mid"}));
    EXPECT_EQ(paths(parse("\xEF\xBB\xBFx(/a.mid)\r\n")), QList<QByteArray>({"/a.mid"}));
    EXPECT_EQ(parse("\xEF\xBB\xBF").status, QvtReadStatus::NothingRead);
    // Only at the very beginning.
    EXPECT_EQ(paths(parse("QVT1.10\r\n1\r\n\xEF\xBB\xBF/a.mid\r\n")), QList<QByteArray>({"\xEF\xBB\xBF/a.mid"}));
}

TEST(LegacyLineToPath, TakesTheTextAfterTheMiddleBracket)
{
    const struct {
        const char *line;
        const char *path;
    } cases[] = {
        {"song.mid(C:/Music/song.mid)", "C:/Music/song.mid"},
        {"a (b).mid(/x/a (b).mid)", "/x/a (b).mid"},
        {"a (b) (c).mid(/x/a (b) (c).mid)", "/x/a (b) (c).mid"},
        {"no bracket", ""},
        {"", ""},
        {"two(one(", ""},
        {"a(b)c(d)", ""},
        {"name(", ""},          // the middle bracket is the last character
        {"name(x", ""},         // the last character is dropped, whatever it is
        {"name(xy", "x"},
        {"name(/p/q]", "/p/q"},
        {"(", ""},
        {"()", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LegacyLineToPath(c.line), QByteArray(c.path)) << c.line;
}

TEST_F(QvtFileTest, WritesTheExactBytesAndReadsThemBack)
{
    QList<TQVTItem> list;
    for (const QByteArray &p : awkwardPaths)
        list.append(TQVTItem{p});
    const QByteArray file = path("mine.qvt");
    WriteQvtFile(file, list);
    const QByteArray written = read(file);
    EXPECT_EQ(written, SerializeQvt(list));

    const QvtReadResult r = ReadQvtFile(file);
    EXPECT_EQ(r.status, QvtReadStatus::Read);
    EXPECT_EQ(paths(r), awkwardPaths);
    WriteQvtFile(path("again.qvt"), r.items);
    EXPECT_EQ(read(path("again.qvt")), written);
}

TEST_F(QvtFileTest, NonUtf8FileNamesWork)
{
    const QByteArray file = path("\x83\x8a\x83\x58\x83\x67.qvt"); // Shift-JIS, not UTF-8
    WriteQvtFile(file, items({"/a.mid"}));
    EXPECT_EQ(read(file), QByteArray("QVT1.10\r\n1\r\n/a.mid\r\n"));
    EXPECT_EQ(paths(ReadQvtFile(file)), QList<QByteArray>({"/a.mid"}));
    ::unlink(file.constData()); // QTemporaryDir cannot remove such a name
}

TEST_F(QvtFileTest, OnlyRegularFilesAreRead)
{
    EXPECT_EQ(ReadQvtFile(path("missing.qvt")).status, QvtReadStatus::NothingRead);
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(path("folder.qvt"))));
    EXPECT_EQ(ReadQvtFile(path("folder.qvt")).status, QvtReadStatus::NothingRead);
    // A FIFO with no writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo(path("fifo.qvt").constData(), 0644), 0);
    EXPECT_EQ(ReadQvtFile(path("fifo.qvt")).status, QvtReadStatus::NothingRead);
}

TEST_F(QvtFileTest, LineEndsAcrossReadChunksAreFound)
{
    // The reader takes 64 KiB at a time: put a CR LF pair, and a NUL, exactly
    // on the boundary.
    const int chunk = 64 * 1024;
    const QByteArray head = "QVT1.10\r\n3\r\n";
    const QByteArray first(chunk - head.size() - 1, 'a');
    write(path("split.qvt"), head + first + "\r\nb\r\nc\r\n");
    EXPECT_EQ(paths(ReadQvtFile(path("split.qvt"))), QList<QByteArray>({first, "b", "c"}));

    const QByteArray upToNul(chunk - head.size(), 'a');
    write(path("nul.qvt"), head + upToNul + QByteArray("\0b\r\nc\r\n", 6));
    EXPECT_THROW(ReadQvtFile(path("nul.qvt")), EPlaylistFileError); // ends before its 3 entries
    write(path("nul1.qvt"), "QVT1.10\r\n1\r\n" + upToNul + QByteArray("\0b\r\n", 4));
    EXPECT_EQ(paths(ReadQvtFile(path("nul1.qvt"))), QList<QByteArray>({upToNul}));
}

TEST_F(QvtFileTest, ReadErrorsComeFromFilesToo)
{
    write(path("short.qvt"), "QVT1.10\r\n2\r\nonly\r\n");
    try {
        ReadQvtFile(path("short.qvt"));
        FAIL() << "no error";
    } catch (const EPlaylistFileError &e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read the playlist file " + path("short.qvt").toStdString()
                                             + ": the file ends before its 2 entries");
    }
}

TEST_F(QvtFileTest, AWriteIntoARegularFileFolderFailsWithTheSystemReason)
{
    write(path("plain"), "x");
    const QByteArray target = path("plain") + "/list.qvt";
    try {
        WriteQvtFile(target, items({"/a.mid"}));
        FAIL() << "no error";
    } catch (const EPlaylistFileError &e) {
        const std::string text = e.what();
        const std::string prefix = "Cannot write the playlist file " + target.toStdString() + ": ";
        EXPECT_EQ(text.substr(0, prefix.size()), prefix);
        EXPECT_GT(text.size(), prefix.size()); // the system's reason follows
    }
    EXPECT_EQ(read(path("plain")), QByteArray("x"));
}

TEST_F(QvtFileTest, APathWithALineBreakIsRefusedAndTheOldFileKept)
{
    const QByteArray file = path("keep.qvt");
    WriteQvtFile(file, items({"/old.mid"}));
    const QByteArray before = read(file);
    EXPECT_THROW(WriteQvtFile(file, items({"/a.mid", "/bad\nname.mid"})), EPlaylistFileError);
    EXPECT_EQ(read(file), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.qvt")});
}

TEST_F(QvtFileTest, OverwritingReplacesTheWholeFile)
{
    const QByteArray file = path("list.qvt");
    WriteQvtFile(file, items({"/a/very/long/path/one.mid", "/another/long/path/two.mid"}));
    WriteQvtFile(file, items({"/s.mid"}));
    EXPECT_EQ(read(file), QByteArray("QVT1.10\r\n1\r\n/s.mid\r\n"));
}
