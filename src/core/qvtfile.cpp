// Reading and writing the ".qvt" playlist file.
#include "core/qvtfile.h"

#include "core/durablefile.h"

#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Magic[] = "QVT1.10";
// Some editors begin a UTF-8 text with it; it is no part of the first line.
constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qint64 ChunkBytes = 64 * 1024;
// No path the file system can open comes near this; a longer line means the
// chosen file is not a playlist, and reading it whole could take gigabytes.
constexpr qsizetype MaxLineBytes = 64 * 1024;

EPlaylistFileError readError(const QByteArray &fileName, const QString &reason)
{
    return EPlaylistFileError(QStringLiteral("Cannot read the playlist file %1: %2").arg(DecodePath(fileName), reason));
}

EPlaylistFileError writeError(const QByteArray &fileName, const QString &reason)
{
    return EPlaylistFileError(QStringLiteral("Cannot write the playlist file %1: %2").arg(DecodePath(fileName), reason));
}

// Splits a stream of bytes into lines at CR LF, a lone CR or a lone LF; a
// last line without a line end still counts, and a NUL ends the text. Only
// one chunk and one line are held at a time.
class LineReader
{
public:
    // `fill` returns the next chunk of bytes, empty at the end.
    explicit LineReader(std::function<QByteArray()> fill) : m_fill(std::move(fill)) {}

    enum Result { Line, End, TooLong };

    Result next(QByteArray &line)
    {
        line.clear();
        if (m_ended || !available() || current() == '\0') {
            m_ended = true;
            return End;
        }
        while (available()) {
            const char *begin = m_chunk.constData() + m_pos;
            const char *end = m_chunk.constData() + m_chunk.size();
            const char *p = begin;
            while (p != end && *p != '\r' && *p != '\n' && *p != '\0')
                ++p;
            line.append(begin, p - begin);
            if (line.size() > MaxLineBytes)
                return TooLong;
            m_pos += p - begin;
            if (p != end)
                break;
        }
        if (available()) {
            const char c = current();
            if (c == '\0') {
                m_ended = true;
            } else {
                ++m_pos;
                if (c == '\r' && available() && current() == '\n')
                    ++m_pos;
            }
        }
        return Line;
    }

private:
    bool available()
    {
        while (m_pos >= m_chunk.size() && !m_drained) {
            m_chunk = m_fill();
            m_pos = 0;
            m_drained = m_chunk.isEmpty();
            if (m_first && m_chunk.startsWith(ByteOrderMark))
                m_pos = 3;
            m_first = false;
        }
        return m_pos < m_chunk.size();
    }
    char current() const { return m_chunk.at(m_pos); }

    std::function<QByteArray()> m_fill;
    QByteArray m_chunk;
    qsizetype m_pos = 0;
    bool m_drained = false;
    bool m_ended = false;
    bool m_first = true;
};

enum class CountParse { Ok, NotANumber, Negative, TooLarge };

// A decimal integer with blanks around it, leading zeros and one sign
// allowed. Any count above the playlist's limit is too large, however long.
CountParse parseCount(const QByteArray &line, int &count)
{
    const QByteArray text = line.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return CountParse::NotANumber;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return CountParse::NotANumber;
        if (value <= MaxPlaylistEntries)
            value = value * 10 + (text[i] - '0');
    }
    if (negative && value != 0)
        return CountParse::Negative;
    if (value > MaxPlaylistEntries)
        return CountParse::TooLarge;
    count = int(value);
    return CountParse::Ok;
}

QvtReadResult parseLines(LineReader &reader, const QByteArray &fileName)
{
    QvtReadResult result;
    QByteArray line;
    auto nextLine = [&] {
        const LineReader::Result r = reader.next(line);
        if (r == LineReader::TooLong)
            throw readError(fileName, QStringLiteral("a line is longer than %1 bytes").arg(MaxLineBytes));
        return r == LineReader::Line;
    };

    if (!nextLine())
        return result;

    if (line == Magic) {
        if (!nextLine())
            throw readError(fileName, QStringLiteral("the entry count is missing"));
        int count = 0;
        switch (parseCount(line, count)) {
        case CountParse::NotANumber:
            throw readError(fileName, QStringLiteral("the entry count is not a number"));
        case CountParse::Negative:
            throw readError(fileName, QStringLiteral("the entry count is negative"));
        case CountParse::TooLarge:
            result.status = QvtReadStatus::BadFile;
            return result;
        case CountParse::Ok:
            break;
        }
        result.items.reserve(count);
        for (int k = 0; k < count; ++k) {
            if (!nextLine())
                throw readError(fileName, QStringLiteral("the file ends before its %1 entries").arg(count));
            result.items.append(TQVTItem{line});
        }
        result.status = QvtReadStatus::Read;
        return result;
    }

    // The older layout has no count; its lines are bounded by the playlist's
    // limit instead.
    do {
        if (result.items.size() == MaxPlaylistEntries) {
            result.items.clear();
            result.status = QvtReadStatus::BadFile;
            return result;
        }
        result.items.append(TQVTItem{LegacyLineToPath(line)});
        if (result.items.constLast().Path.isEmpty() && !line.isEmpty())
            ++result.unreadLines;
    } while (nextLine());
    result.status = QvtReadStatus::Read;
    return result;
}

} // namespace

QvtReadResult ReadQvtFile(const QByteArray &fileName)
{
    if (fileName.isEmpty() || fileName.contains('\0'))
        return {};
    // Opened without blocking and checked before a byte is read: a FIFO or a
    // device chosen by mistake would otherwise hang the program.
    const int fd = ::open(fileName.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        throw readError(fileName, qt_error_string(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        throw readError(fileName, qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return {};
    LineReader reader([&] {
        QByteArray chunk(ChunkBytes, Qt::Uninitialized);
        qsizetype filled = 0;
        while (filled < ChunkBytes) {
            const ssize_t n = ::read(fd, chunk.data() + filled, size_t(ChunkBytes - filled));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw readError(fileName, qt_error_string(errno));
            if (n == 0)
                break;
            filled += n;
        }
        chunk.truncate(filled);
        return chunk;
    });
    return parseLines(reader, fileName);
}

QvtReadResult ParseQvtBytes(const QByteArray &bytes, const QByteArray &fileNameForMessages)
{
    bool given = false;
    LineReader reader([&] {
        if (given)
            return QByteArray();
        given = true;
        return bytes;
    });
    return parseLines(reader, fileNameForMessages);
}

QByteArray LegacyLineToPath(const QByteArray &line)
{
    const qsizetype n = line.count('(');
    if (n % 2 == 0)
        return {};
    qsizetype middle = -1;
    for (qsizetype k = 0; k <= n / 2; ++k)
        middle = line.indexOf('(', middle + 1);
    // Up to, not including, the line's last character (the closing bracket).
    if (middle >= line.size() - 1)
        return {};
    return line.mid(middle + 1, line.size() - middle - 2);
}

QByteArray SerializeQvt(const QList<TQVTItem> &items)
{
    qsizetype size = 16;
    for (const TQVTItem &item : items)
        size += item.Path.size() + 2;
    QByteArray bytes;
    bytes.reserve(size);
    bytes += Magic;
    bytes += "\r\n";
    bytes += QByteArray::number(items.size());
    bytes += "\r\n";
    for (const TQVTItem &item : items) {
        bytes += item.Path;
        bytes += "\r\n";
    }
    return bytes;
}

void WriteQvtFile(const QByteArray &fileName, const QList<TQVTItem> &items)
{
    // Such a file would read back as other entries: it is refused before
    // anything is touched.
    for (qsizetype k = 0; k < items.size(); ++k) {
        const QByteArray &path = items[k].Path;
        if (!CanHoldPath(path))
            throw writeError(fileName, QStringLiteral("entry %1 (%2) holds a line break, which the file cannot store")
                                           .arg(k + 1)
                                           .arg(DecodePath(path).simplified()));
    }
    try {
        ReplaceFile(fileName, SerializeQvt(items));
    } catch (const EFileWriteError &e) {
        throw writeError(fileName, e.message());
    }
}
