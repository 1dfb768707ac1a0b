// The lyrics window on a real main window over the fake sequencer, with a
// karaoke song built in code: Option > "Show &lyrics", the line shown at a
// position, the close box, and what is stored.
#include "support/playbackfixture.h"

#include "../device/smfbuilder.h"
#include "gui/lyrics/lyricswindow.h"

#include <QApplication>
#include <QSettings>

namespace {

class LyricsWindowTest : public PlaybackFixture
{
protected:
    // Two lines at 120 BPM, 96 ticks a quarter: "Twin kle" from 0 ms and
    // 500 ms, "lit tle" from 1000 ms and 1500 ms.
    QByteArray karaoke()
    {
        TrackBuilder words;
        words.meta(0, 0x05, "Twin ").meta(96, 0x05, "kle\r").meta(96, 0x05, "lit ").meta(96, 0x05, "tle").end(96);
        const QByteArray path = song("kara.kar", false);
        EXPECT_TRUE(WriteFile(QFile::decodeName(path), Smf(1, 96, {words})));
        return path;
    }
    LyricsWindow *window() const
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *lyrics = qobject_cast<LyricsWindow *>(top))
                return lyrics;
        return nullptr;
    }
    QVariant stored(const char *key) const
    {
        return QSettings(SettingsStore::FilePath(), QSettings::IniFormat).value(QLatin1String(key));
    }
};

} // namespace

TEST_F(LyricsWindowTest, ShowsTheLineSungAtThePositionAndIsStoredOnlyOnceUsed)
{
    start({karaoke()});
    EXPECT_EQ(window(), nullptr) << "the item off: no window";
    playRow(0);
    Part<QAction>(*m, "ShowLyrics1")->trigger();
    LyricsWindow *lyrics = window();
    ASSERT_NE(lyrics, nullptr);
    EXPECT_TRUE(lyrics->isVisible());
    EXPECT_EQ(lyrics->windowTitle(), QStringLiteral("Lyrics"));

    struct At {
        int ms;
        const char *line, *sung, *next;
    };
    for (const At &at : {At{0, "Twin kle", "Twin ", "lit tle"}, At{1200, "lit tle", "lit ", ""},
                         At{600, "Twin kle", "Twin kle", "lit tle"}}) {
        m->seek(at.ms);
        EXPECT_EQ(lyrics->lineText(), QString::fromUtf8(at.line)) << at.ms;
        EXPECT_EQ(lyrics->sungText(), QString::fromUtf8(at.sung)) << at.ms;
        EXPECT_EQ(lyrics->nextText(), QString::fromUtf8(at.next)) << at.ms;
    }

    Part<QAction>(*m, "Japanese1")->trigger();
    EXPECT_EQ(lyrics->windowTitle(), QStringLiteral("歌詞"));
    lyrics->close();
    EXPECT_FALSE(Part<QAction>(*m, "ShowLyrics1")->isChecked()) << "the close box unchecks the item";
    m->close();
    EXPECT_EQ(stored("Option/ShowLyrics").toString(), QStringLiteral("0"));
    EXPECT_TRUE(stored("Position/LyricsTop").isValid());

    // A first run that never uses the additions stores none of them.
    w = AppWindows();
    DeleteSettingsKey();
    start();
    m->close();
    EXPECT_FALSE(stored("Option/ShowLyrics").isValid());
    EXPECT_FALSE(stored("Position/LyricsTop").isValid());
    EXPECT_FALSE(stored("Option/PlayLoops").isValid());
}
