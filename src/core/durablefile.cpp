#include "core/durablefile.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The rename is only as durable as the folder entry that records it. A
// failure here is not reported: the new contents are already in place.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

const char TemporaryPrefix[] = ".quavette-";

[[noreturn]] void fail(int error)
{
    throw EFileWriteError(qt_error_string(error));
}

// Rewrites `target` where it is, for when it cannot be replaced: the room
// for all of the new contents is checked first, so that a full disk fails
// before the old contents are touched.
void rewriteInPlace(const QByteArray &target, const QByteArray &bytes)
{
    struct statvfs space;
    if (::statvfs(folderOf(target).constData(), &space) == 0
        && quint64(space.f_bavail) * quint64(space.f_frsize) < quint64(bytes.size()))
        fail(ENOSPC);
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    int error = 0;
    try {
        WriteAll(fd, bytes);
    } catch (const EFileWriteError &) {
        ::close(fd);
        throw;
    }
    if (::ftruncate(fd, off_t(bytes.size())) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        fail(error);
}

} // namespace

QByteArray WriteTarget(const QByteArray &path)
{
    QByteArray current = path;
    // As many links as the kernel itself follows; a longer chain (a loop)
    // fails later, at the write.
    for (int depth = 0; depth < 40; ++depth) {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.constData(), buffer, sizeof buffer);
        if (n < 0 || n == ssize_t(sizeof buffer))
            return current;
        const QByteArray link(buffer, n);
        current = link.startsWith('/') ? link : folderOf(current) + '/' + link;
    }
    return path;
}

int CreateFileBeside(const QByteArray &target, QByteArray &name)
{
    const QByteArray folder = folderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + '/' + TemporaryPrefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        // The mode is the one a new file gets (0666 less the umask) ...
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            fail(errno);
        }
        // ... or the replaced file's.
        struct stat info;
        if (::stat(target.constData(), &info) == 0 && S_ISREG(info.st_mode))
            ::fchmod(fd, info.st_mode & 07777);
        return fd;
    }
    fail(EEXIST);
}

void WriteAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        data += n;
        left -= n;
    }
}

void CommitOver(const QByteArray &from, const QByteArray &target)
{
    // Delayed allocation can still fail here, and a rename before the data
    // reached the disk could leave an empty file after a crash.
    const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    int error = 0;
    if (fd < 0)
        error = errno;
    else if (::fsync(fd) != 0)
        error = errno;
    if (fd >= 0 && ::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(from.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(from.constData());
        fail(error);
    }
    syncFolder(folderOf(target));
}

void ReplaceFile(const QByteArray &path, const QByteArray &bytes)
{
    const QByteArray target = WriteTarget(path);
    // A file the user made read-only is not replaced behind their back.
    if (::access(target.constData(), W_OK) != 0 && errno != ENOENT)
        fail(errno);
    struct stat info;
    const bool exists = ::stat(target.constData(), &info) == 0 && S_ISREG(info.st_mode);
    // A file with other names (hard links) would lose them to a new one.
    if (exists && info.st_nlink > 1)
        return rewriteInPlace(target, bytes);
    QByteArray temporary;
    int fd = -1;
    try {
        fd = CreateFileBeside(target, temporary);
    } catch (const EFileWriteError &) {
        // A folder that takes no new entries (immutable, or someone else's)
        // still lets a file in it that may be written be rewritten.
        if (!exists)
            throw;
        return rewriteInPlace(target, bytes);
    }
    // The new file is the old one's: its owner and group too, or, where they
    // cannot be given to it, the old file is rewritten where it is.
    if (exists && (info.st_uid != ::geteuid() || info.st_gid != ::getegid())) {
        if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
            ::close(fd);
            ::unlink(temporary.constData());
            return rewriteInPlace(target, bytes);
        }
        ::fchmod(fd, info.st_mode & 07777); // a change of owner clears set-id bits
    }
    try {
        WriteAll(fd, bytes);
    } catch (const EFileWriteError &) {
        ::close(fd);
        ::unlink(temporary.constData());
        throw;
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(error);
    }
    CommitOver(temporary, target);
}

void RemoveStaleTemporaries(const QByteArray &folder)
{
    static const QRegularExpression temporary(QStringLiteral("^\\.quavette-[0-9a-z]+(\\.lock)?$"));
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        if (!temporary.match(QString::fromLatin1(entry->d_name)).hasMatch())
            continue;
        const QByteArray path = folder + '/' + entry->d_name;
        struct stat info;
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode))
            ::unlink(path.constData());
    }
    ::closedir(dir);
}
