#include "support/fakesequencer.h"

#include "device/deviceerror.h"

#include <algorithm>

void FakeSequencer::open(const QByteArray &path)
{
    s->calls << QStringLiteral("open:") + QString::fromUtf8(path);
    // As the real one: whatever was open is gone, even when this open fails.
    s->openPath.clear();
    s->mode = TPlayerMode::pmNotReady;
    s->position = 0;
    s->length = 0;
    if (s->openErrors.contains(path))
        throw EDeviceError(s->openErrors.value(path).toStdString());
    s->openPath = path;
    s->mode = TPlayerMode::pmStopped;
    s->position = 0;
    s->length = s->playLoops && s->loopLengths.contains(path) ? s->loopLengths.value(path)
                                                             : s->lengths.value(path, s->defaultLength);
}

void FakeSequencer::setPlayLoops(bool on)
{
    s->calls << QStringLiteral("playloops:%1").arg(int(on));
    s->playLoops = on;
}

void FakeSequencer::close()
{
    s->calls << QStringLiteral("close");
    s->openPath.clear();
    s->mode = TPlayerMode::pmNotReady;
    s->position = 0;
    s->length = 0;
}

bool FakeSequencer::play()
{
    s->calls << QStringLiteral("play");
    if (s->mode == TPlayerMode::pmNotReady)
        return false;
    s->mode = TPlayerMode::pmPlaying;
    return true;
}

bool FakeSequencer::pause()
{
    s->calls << QStringLiteral("pause");
    if (s->mode == TPlayerMode::pmNotReady)
        return false;
    s->mode = TPlayerMode::pmPaused;
    return true;
}

bool FakeSequencer::resume()
{
    s->calls << QStringLiteral("resume");
    if (s->mode == TPlayerMode::pmPaused || s->mode == TPlayerMode::pmPlaying) {
        s->mode = TPlayerMode::pmPlaying;
        return true;
    }
    return false;
}

bool FakeSequencer::stop()
{
    s->calls << QStringLiteral("stop");
    if (s->mode == TPlayerMode::pmNotReady)
        return false;
    s->mode = TPlayerMode::pmStopped;
    return true;
}

bool FakeSequencer::seek(int ms)
{
    s->calls << QStringLiteral("seek:%1").arg(ms);
    if (s->mode == TPlayerMode::pmNotReady)
        return false;
    s->position = std::clamp(ms, 0, s->length);
    s->mode = TPlayerMode::pmStopped;
    return true;
}

void FakeSequencer::finish(Shared *s)
{
    const bool playing = s->mode == TPlayerMode::pmPlaying;
    s->position = s->length;
    s->mode = TPlayerMode::pmStopped;
    if (playing && s->songEndHandler)
        s->songEndHandler();
}

void FakeSequencer::advance(Shared *s, int ms)
{
    if (s->mode != TPlayerMode::pmPlaying)
        return;
    s->position = std::min(s->length, s->position + ms);
    if (s->position == s->length)
        finish(s);
}

void FakeSequencer::setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done)
{
    s->calls << QStringLiteral("soundfont:") + QString::fromUtf8(path);
    const QString error = s->soundFontErrors.value(path);
    if (error.isEmpty())
        s->soundFont = path;
    if (done)
        done(error);
}
