// Replacing a file's contents: what makes the file the user's survives a
// save, and what a write cut short left behind is cleared away.
#include "core/durablefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Contents(const QByteArray &path)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void Write(const QByteArray &path, const QByteArray &bytes)
{
    QFile f(QFile::decodeName(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(ReplaceFile, KeepsLinksOwnerAndModeAndWritesWhereNoNewFileCanBeMade)
{
    struct Case {
        const char *what;
        // Prepares the folder and the file; false: not possible here.
        std::function<bool(const QByteArray &folder, const QByteArray &file)> prepare;
        std::function<void(const QByteArray &folder, const QByteArray &file)> check;
        std::function<void(const QByteArray &folder)> undo = [](const QByteArray &) {};
    } cases[] = {
        {"a file with a second name",
         [](const QByteArray &folder, const QByteArray &file) {
             return ::link(file.constData(), (folder + "/other.qvt").constData()) == 0;
         },
         [](const QByteArray &folder, const QByteArray &file) {
             EXPECT_EQ(Contents(folder + "/other.qvt"), "new");
             struct stat info;
             ASSERT_EQ(::stat(file.constData(), &info), 0);
             EXPECT_EQ(info.st_nlink, 2u);
         }},
        {"a file of another owner and group, with its own mode",
         [](const QByteArray &, const QByteArray &file) {
             return ::geteuid() == 0 && ::chown(file.constData(), 4321, 4322) == 0
                 && ::chmod(file.constData(), 0640) == 0;
         },
         [](const QByteArray &, const QByteArray &file) {
             struct stat info;
             ASSERT_EQ(::stat(file.constData(), &info), 0);
             EXPECT_EQ(info.st_uid, 4321u);
             EXPECT_EQ(info.st_gid, 4322u);
             EXPECT_EQ(info.st_mode & 07777, 0640u);
         }},
        {"a folder that takes no new entries",
         [](const QByteArray &folder, const QByteArray &) {
             return std::system(("chattr +i '" + folder + "' 2>/dev/null").constData()) == 0;
         },
         [](const QByteArray &, const QByteArray &) {},
         [](const QByteArray &folder) { std::system(("chattr -i '" + folder + "'").constData()); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray file = folder + "/list.qvt";
        Write(file, "old contents");
        if (!c.prepare(folder, file)) {
            c.undo(folder);
            std::fprintf(stderr, "not checked, cannot be set up here: %s\n", c.what);
            continue;
        }
        EXPECT_NO_THROW(ReplaceFile(file, "new"));
        EXPECT_EQ(Contents(file), "new");
        c.check(folder, file);
        c.undo(folder);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".quavette-")),
                  QStringList()) << "nothing left behind";
    }
}

TEST(RemoveStaleTemporaries, RemovesOnlyTheWritersOwnLeftovers)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    for (const char *name : {".quavette-3k9z1a", ".quavette-3k9z1a.lock", "list.qvt", ".quavette-folder-probe",
                             "quavette-1"})
        Write(folder + '/' + name, "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral(".quavette-abc")));
    RemoveStaleTemporaries(folder);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({QStringLiteral(".quavette-abc"), QStringLiteral(".quavette-folder-probe"),
                           QStringLiteral("list.qvt"), QStringLiteral("quavette-1")}));
}

} // namespace
