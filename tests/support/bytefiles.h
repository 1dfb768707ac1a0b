// Files read and written by the bytes of their names, as the program does:
// Qt would decode a name that is not UTF-8.
#pragma once

#include <QByteArray>

#include <fcntl.h>
#include <unistd.h>

inline QByteArray ReadBytes(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    QByteArray bytes = fd < 0 ? "(missing)" : "";
    char buffer[65536];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    return fd < 0 || ::close(fd) == 0 ? bytes : "(unreadable)";
}

inline bool WriteBytes(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool written = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return fd >= 0 && ::close(fd) == 0 && written;
}
