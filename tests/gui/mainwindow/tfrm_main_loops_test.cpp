// Option > "Play loops" on a real main window over the fake sequencer: the
// stored choice, the device told from the next song on, and the length shown.
#include "support/playbackfixture.h"

#include <QSettings>

namespace {

class PlayLoopsTest : public PlaybackFixture
{
protected:
    QSettings settings() const { return {SettingsStore::FilePath(), QSettings::IniFormat}; }
};

} // namespace

TEST_F(PlayLoopsTest, TheStoredChoicePlaysLoopsAndTheLengthShownIsTheLoopedOne)
{
    const QList<QByteArray> paths = songs(2);
    device.loopLengths.insert(paths[0], 11000);
    device.defaultLength = 3000;
    settings().setValue(QStringLiteral("Option/PlayLoops"), QStringLiteral("1"));
    settings().setValue(QStringLiteral("Option/ShowPosition"), QStringLiteral("1"));
    start(paths);
    QAction *item = Part<QAction>(*m, "PlayLoops1");
    EXPECT_TRUE(item->isChecked());

    playRow(0);
    m->Tmr1Timer();
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - 0/11000 - s0.mid"));
    EXPECT_EQ(Part<QScrollBar>(*c, "Scr_Time")->maximum(), 11000);

    item->trigger();
    m->stop();
    playRow(0);
    m->Tmr1Timer();
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - 0/3000 - s0.mid")) << "off: the song as it stands";
    m->close();
    EXPECT_EQ(settings().value(QStringLiteral("Option/PlayLoops")).toString(), QStringLiteral("0"));
}
