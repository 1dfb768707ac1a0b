// Temporary folders with files of any name, made with POSIX calls so that
// names that are not valid UTF-8 (or hold line breaks) can be made too.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

class TempFolder
{
public:
    TempFolder()
        : m_dir(QDir::tempPath() + QStringLiteral("/quavette-browser-XXXXXX"))
    {
        // QDir cannot remove names that are not valid UTF-8: remove it all here.
        m_dir.setAutoRemove(false);
        // The folder list shows real paths: resolve a /tmp that is a link.
        char real[4096];
        m_path = realpath(QFile::encodeName(m_dir.path()).constData(), real) ? QByteArray(real)
                                                                               : QFile::encodeName(m_dir.path());
    }

    ~TempFolder()
    {
        nftw(m_path.constData(), [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); },
             16, FTW_DEPTH | FTW_PHYS);
    }

    const QByteArray &path() const { return m_path; }
    QByteArray at(const QByteArray &relative) const { return m_path + '/' + relative; }

    void file(const QByteArray &relative) const
    {
        const int fd = ::open(at(relative).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << relative.constData();
        ASSERT_EQ(::write(fd, "MThd", 4), 4);
        ::close(fd);
    }
    void folder(const QByteArray &relative) const
    {
        ASSERT_EQ(::mkdir(at(relative).constData(), 0755), 0) << relative.constData();
    }
    void link(const QByteArray &target, const QByteArray &relative) const
    {
        ASSERT_EQ(::symlink(target.constData(), at(relative).constData()), 0) << relative.constData();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
};

// Keeps the process's current folder across a test that changes it.
class CurrentFolderGuard
{
public:
    CurrentFolderGuard() { m_fd = ::open(".", O_RDONLY | O_DIRECTORY); }
    ~CurrentFolderGuard()
    {
        if (m_fd >= 0) {
            [[maybe_unused]] int rc = ::fchdir(m_fd);
            ::close(m_fd);
        }
    }

private:
    int m_fd = -1;
};
