// Gives the test process a private HOME and XDG folders before Qt starts, so
// that settings, "list.qvt" and caches of one test never meet another's.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

inline QTemporaryDir &IsolatedHome()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quavette-test-XXXXXX"));
    return dir;
}

inline void IsolateTestProcess()
{
    const QByteArray home = IsolatedHome().path().toLocal8Bit();
    setenv("HOME", home.constData(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (home + "/cache").constData(), 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}
