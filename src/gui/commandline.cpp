#include "gui/commandline.h"

#include "core/openedpaths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstring>

namespace {

// The arguments the parser takes for files, as the system gave them: Qt
// decodes argv, which would change a name that is not valid UTF-8.
QList<QByteArray> rawPositionals(int argc, char **argv)
{
    QList<QByteArray> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg[0] == '-' && arg[1] != '\0')
            continue;
        files.append(QByteArray(arg));
    }
    return files;
}

} // namespace

QList<QByteArray> ParseCommandLine(const QCoreApplication &app, int argc, char **argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays Standard MIDI Files from a playlist.\n\n"
                                                    "Songs named are added at the end of the playlist and "
                                                    "the first of them starts; a playlist (.qvt) opens as "
                                                    "with File > Open. When the program is running "
                                                    "already, it takes the files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Songs, folders of songs, or playlists."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);

    const QStringList named = parser.positionalArguments();
    QList<QByteArray> files = rawPositionals(argc, argv);
    if (files.size() != named.size()) {
        files.clear();
        for (const QString &name : named)
            files.append(QFile::encodeName(name));
    }
    for (QByteArray &file : files) {
        if (!file.isEmpty())
            file = AbsolutePath(file);
    }
    return files;
}
