// Reads and writes a playlist of 65,535 entries and prints the times, with
// `cat` reading and copying the same bytes as the floor.
//   bench_qvtfile [rounds]
#include "core/qvtfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// The best and the median of `rounds` runs, in milliseconds.
struct Timing {
    double best;
    double median;
};

Timing measure(int rounds, const std::function<void()> &run)
{
    std::vector<double> ms;
    for (int k = 0; k < rounds; ++k) {
        QElapsedTimer timer;
        timer.start();
        run();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void runShell(const QString &command)
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    process.waitForFinished(-1);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "failed: %s\n", qPrintable(command));
}

// The process start-up of `cat` is not part of the floor: time an empty run
// and take it off.
Timing minusStartUp(Timing t, Timing startUp)
{
    return {std::max(0.0, t.best - startUp.best), std::max(0.0, t.median - startUp.median)};
}

void print(const char *what, Timing t)
{
    std::printf("%-40s best %8.2f ms   median %8.2f ms\n", what, t.best, t.median);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    QList<TQVTItem> items;
    items.reserve(MaxPlaylistEntries);
    for (int k = 0; k < MaxPlaylistEntries; ++k)
        items.append(TQVTItem{"/home/user/Music/Collection " + QByteArray::number(k % 97) + "/Artist (" + QByteArray::number(k % 13)
                              + ")/track " + QByteArray::number(k) + ".mid"});
    const QByteArray file = folder + "/list.qvt";
    WriteQvtFile(file, items);
    const qint64 bytes = QFileInfo(QFile::decodeName(file)).size();
    std::printf("%d entries, %lld bytes, %d rounds\n", int(items.size()), static_cast<long long>(bytes), rounds);

    const QString qfile = QFile::decodeName(file);
    const QString copy = QFile::decodeName(folder + "/copy.qvt");
    const Timing shellStart = measure(rounds, [] { runShell(QStringLiteral("true")); });

    const Timing write = measure(rounds, [&] { WriteQvtFile(folder + "/written.qvt", items); });
    const Timing read = measure(rounds, [&] {
        const QvtReadResult r = ReadQvtFile(file);
        if (r.items.size() != items.size())
            std::fprintf(stderr, "read %d entries\n", int(r.items.size()));
    });
    const Timing catRead = measure(rounds, [&] { runShell(QStringLiteral("cat '%1' > /dev/null").arg(qfile)); });
    const Timing catCopy = measure(rounds, [&] { runShell(QStringLiteral("cat '%1' > '%2'").arg(qfile, copy)); });

    print("WriteQvtFile (new file, fsync, rename)", write);
    print("ReadQvtFile", read);
    print("cat file > /dev/null (floor for reading)", minusStartUp(catRead, shellStart));
    print("cat file > copy (floor for writing)", minusStartUp(catCopy, shellStart));
    print("(shell start-up taken off the cat runs)", shellStart);
    return 0;
}
