// The command line: `quavette [FILE...]`, --help and --version.
#pragma once

#include <QByteArray>
#include <QList>

class QCoreApplication;

// Prints the help or the version and ends the process when asked to, as is
// usual; otherwise returns the files named, as absolute paths in the bytes
// the system gave. `argc` and `argv` as the application object left them.
QList<QByteArray> ParseCommandLine(const QCoreApplication &app, int argc, char **argv);
