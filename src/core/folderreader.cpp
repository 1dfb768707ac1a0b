#include "core/folderreader.h"

#include "core/namemask.h"
#include "core/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString describe(const QByteArray &folder, int error)
{
    return QStringLiteral("The folder %1 cannot be read: %2.")
        .arg(DecodePath(folder), QString::fromLocal8Bit(std::strerror(error)));
}

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

enum class Kind { Folder, File, Other };

Kind kindOf(const QByteArray &folder, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_DIR: return Kind::Folder;
    case DT_REG: return Kind::File;
    case DT_LNK:
    case DT_UNKNOWN: break;
    default: return Kind::Other;
    }
    // Links are followed; a dangling link is neither.
    struct stat st;
    if (stat(JoinPath(folder, entry->d_name).constData(), &st) != 0)
        return Kind::Other;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

// Calls `take` for every entry of `folder` but "." and "..".
template <typename Take>
void forEachEntry(const QByteArray &folder, Take take)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.constData()));
    if (!dir)
        throw EFolderError(folder, errno);
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw EFolderError(folder, errno);
            return;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        take(entry);
    }
}

} // namespace

EFolderError::EFolderError(const QByteArray &folder, int error)
    : ECoreError(describe(folder, error))
{
}

void ChangeFolder(const QByteArray &folder)
{
    if (chdir(folder.constData()) != 0)
        throw EFolderError(folder, errno);
}

QList<QByteArray> ReadSubfolders(const QByteArray &folder)
{
    QList<QByteArray> names;
    forEachEntry(folder, [&](const dirent *entry) {
        if (kindOf(folder, entry) == Kind::Folder)
            names.append(QByteArray(entry->d_name));
    });
    SortNames(names);
    return names;
}

QList<QByteArray> ReadMatchingFiles(const QByteArray &folder, const QByteArray &mask,
                                    const std::function<void(qsizetype)> &found)
{
    QList<QByteArray> names;
    forEachEntry(folder, [&](const dirent *entry) {
        if (entry->d_name[0] == '.')
            return;
        // The mask first: it costs no system call.
        const QByteArray name(entry->d_name);
        if (MatchesMask(name, mask) && kindOf(folder, entry) == Kind::File) {
            names.append(name);
            if (found)
                found(names.size());
        }
    });
    SortNames(names);
    return names;
}

void SortNames(QList<QByteArray> &names)
{
    std::vector<std::pair<QString, QByteArray>> keyed;
    keyed.reserve(names.size());
    for (QByteArray &name : names)
        keyed.emplace_back(DecodePath(name).toCaseFolded(), std::move(name));
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        if (const int c = a.first.compare(b.first); c != 0)
            return c < 0;
        return a.second < b.second;
    });
    names.clear();
    for (auto &entry : keyed)
        names.append(std::move(entry.second));
}
