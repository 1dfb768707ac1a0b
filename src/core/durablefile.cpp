#include "core/durablefile.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
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

int CreateFileBeside(const QByteArray &target, QByteArray &name, QString &reason)
{
    const QByteArray folder = folderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.quavette-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        // The mode is the one a new file gets (0666 less the umask) ...
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            reason = qt_error_string(errno);
            return -1;
        }
        // ... or the replaced file's.
        struct stat info;
        if (::stat(target.constData(), &info) == 0 && S_ISREG(info.st_mode))
            ::fchmod(fd, info.st_mode & 07777);
        return fd;
    }
    reason = qt_error_string(EEXIST);
    return -1;
}

bool WriteAll(int fd, const QByteArray &bytes, QString &reason)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = qt_error_string(errno);
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

bool CommitOver(const QByteArray &from, const QByteArray &target, QString &reason)
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
        reason = qt_error_string(error);
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

bool ReplaceFile(const QByteArray &path, const QByteArray &bytes, QString &reason)
{
    const QByteArray target = WriteTarget(path);
    // A file the user made read-only is not replaced behind their back.
    if (::access(target.constData(), W_OK) != 0 && errno != ENOENT) {
        reason = qt_error_string(errno);
        return false;
    }
    QByteArray temporary;
    const int fd = CreateFileBeside(target, temporary, reason);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes, reason);
    const int closeError = ::close(fd) == 0 ? 0 : errno;
    if (!written || closeError != 0) {
        if (written)
            reason = qt_error_string(closeError);
        ::unlink(temporary.constData());
        return false;
    }
    return CommitOver(temporary, target, reason);
}
