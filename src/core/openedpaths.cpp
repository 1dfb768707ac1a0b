#include "core/openedpaths.h"

#include "core/folderreader.h"
#include "core/paths.h"

#include <QSet>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString problem(const QByteArray &path, const QString &reason)
{
    return DecodePath(path) + QStringLiteral(" (") + reason + QLatin1Char(')');
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads the first bytes of a plain file; false with errno set when it cannot
// be read.
bool readStart(const QByteArray &path, QByteArray &start)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    start.resize(7);
    const ssize_t got = ::read(fd, start.data(), start.size());
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        errno = error;
        return false;
    }
    start.resize(got);
    return true;
}

class Walk
{
public:
    Walk(const QByteArray &mask, qsizetype limit, OpenedPaths &out)
        : m_mask(mask), m_limit(limit), m_out(out)
    {
    }

    void folder(const QByteArray &path, const struct stat &info)
    {
        if (full())
            return;
        // Links may lead back up the tree; each folder is read once.
        const QPair<dev_t, ino_t> id(info.st_dev, info.st_ino);
        if (m_seen.contains(id))
            return;
        m_seen.insert(id);
        QList<QByteArray> files, subfolders;
        try {
            files = ReadMatchingFiles(path, m_mask);
            subfolders = ReadSubfolders(path);
        } catch (const EFolderError &e) {
            m_out.problems.append(problem(path, e.message()));
            return;
        }
        for (const QByteArray &name : std::as_const(files)) {
            if (full())
                return;
            m_out.songs.append(JoinPath(path, name));
        }
        for (const QByteArray &name : std::as_const(subfolders)) {
            if (name.startsWith('.'))
                continue;
            const QByteArray sub = JoinPath(path, name);
            struct stat subInfo;
            if (::stat(sub.constData(), &subInfo) == 0 && S_ISDIR(subInfo.st_mode))
                folder(sub, subInfo);
        }
    }

private:
    bool full() const { return m_out.songs.size() > m_limit; }

    QByteArray m_mask;
    qsizetype m_limit;
    OpenedPaths &m_out;
    QSet<QPair<dev_t, ino_t>> m_seen;
};

} // namespace

OpenedPaths SortOpenedPaths(const QList<QByteArray> &paths, const QByteArray &mask, qsizetype limit)
{
    OpenedPaths out;
    Walk walk(mask, limit, out);
    for (const QByteArray &path : paths) {
        struct stat info;
        const int error = path.isEmpty() || path.contains('\0') ? ENOENT
            : ::stat(path.constData(), &info) != 0               ? errno
                                                                  : 0;
        if (error != 0) {
            out.problems.append(problem(path, systemReason(error)));
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            walk.folder(path, info);
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            out.problems.append(problem(path, QStringLiteral("not a file")));
            continue;
        }
        QByteArray start;
        if (!readStart(path, start)) {
            out.problems.append(problem(path, systemReason(errno)));
            continue;
        }
        if (path.toLower().endsWith(".qvt") || start == "QVT1.10")
            out.playlists.append(path);
        else
            out.songs.append(path);
    }
    return out;
}

QByteArray AbsolutePath(const QByteArray &path)
{
    const QByteArray full = path.startsWith('/') ? path : JoinPath(CurrentFolder(), path);
    QList<QByteArray> parts;
    for (const QByteArray &part : full.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}
