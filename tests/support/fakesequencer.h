// A sequencer that plays nothing: it records the calls it gets and lets the
// test say when a song ends. Behaves like the real one in every state rule.
#pragma once

#include "device/sequencer.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <functional>

class FakeSequencer : public ISequencer
{
public:
    struct Shared {
        QStringList calls;                 // "open:PATH", "play", "pause", ...
        QHash<QByteArray, QString> openErrors; // path -> error text
        int defaultLength = 10000;
        QHash<QByteArray, int> lengths;    // path -> length in ms
        QHash<QByteArray, int> loopLengths; // path -> length in ms with its loop played
        bool playLoops = false;            // as set, for the next open
        QByteArray openPath;
        TPlayerMode mode = TPlayerMode::pmNotReady;
        int position = 0;
        int length = 0;
        int statusQueries = 0;
        std::function<void()> songEndHandler;
        // path -> why it is refused; any other path loads.
        QHash<QByteArray, QString> soundFontErrors;
        QByteArray soundFont;
        QByteArray defaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
    };

    explicit FakeSequencer(Shared *shared) : s(shared) {}

    void open(const QByteArray &path) override;
    void close() override;
    bool play() override;
    bool pause() override;
    bool resume() override;
    bool stop() override;
    bool seek(int ms) override;
    TPlayerMode mode() const override { ++s->statusQueries; return s->mode; }
    int position() const override { ++s->statusQueries; return s->position; }
    int length() const override { ++s->statusQueries; return s->length; }
    void setSongEndHandler(std::function<void()> handler) override { s->songEndHandler = std::move(handler); }
    // Loads at once, on the caller's thread.
    void setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done) override;
    QByteArray soundFont() const override { return s->soundFont.isEmpty() ? s->defaultSoundFont : s->soundFont; }
    void setPlayLoops(bool on) override;

    // Test controls. Reaching the end calls the song-end handler, as the real
    // sequencer does from its audio thread.
    static void finish(Shared *s); // the playing song reaches its end
    static void advance(Shared *s, int ms); // time passes while playing

private:
    Shared *s;
};
