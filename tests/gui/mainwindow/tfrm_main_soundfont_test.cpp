// The choice of SoundFont on a real main window over the fake sequencer:
// Option > "Sound&Font...", the stored choice and drops. The end-to-end
// suite chooses one in the real dialog and reads the about box.
#include "support/playbackfixture.h"
#include "support/windowparts.h"

#include "core/fileurl.h"
#include "gui/widgets/playlistview.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QSettings>

namespace {

class SoundFontWindow : public PlaybackFixture
{
protected:
    void storeSoundFont(const QByteArray &path)
    {
        QSettings(SettingsStore::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("Option/SoundFont"), QString::fromUtf8(path));
    }
    QVariant storedSoundFont() const
    {
        return QSettings(SettingsStore::FilePath(), QSettings::IniFormat).value(QStringLiteral("Option/SoundFont"));
    }
    void choose(const QByteArray &path)
    {
        m->SoundFontDialog = [&, path](const QByteArray &initial) {
            dialogStartedAt = initial;
            return path;
        };
        Part<QAction>(*m, "SoundFont1")->trigger();
        QCoreApplication::processEvents(); // the answer of the loading thread
    }
    // Lets `paths` go on `target`; true when it took them.
    bool drop(QWidget *target, const QList<QByteArray> &paths)
    {
        std::unique_ptr<QMimeData> data(FileUrlsMimeData(paths));
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(2, 2), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents();
        return dropped.isAccepted();
    }
    QStringList soundFontCalls() const { return device.calls.filter(QStringLiteral("soundfont:")); }

    QByteArray dialogStartedAt;
};

} // namespace

TEST_F(SoundFontWindow, AFontThatCannotBeUsedIsRefusedNamingItAndWhy)
{
    start();
    const QByteArray broken = song("broken.sf2"), missing = song("missing.sf2", false);
    device.soundFontErrors.insert(broken, QStringLiteral("The SoundFont could not be loaded."));
    choose(broken);
    choose(missing);
    EXPECT_EQ(dialogStartedAt, device.defaultSoundFont) << "the dialog starts at the font in use";
    EXPECT_EQ(messages.texts(),
              (QStringList{QStringLiteral("Cannot use the SoundFont : %1\nThe SoundFont could not be loaded.").arg(QString::fromUtf8(broken)),
                           QStringLiteral("Cannot use the SoundFont : %1\nNo such file or directory").arg(QString::fromUtf8(missing))}));
    EXPECT_EQ(m->MediaPlayer->soundFont(), device.defaultSoundFont);

    Part<QAction>(*m, "Japanese1")->trigger();
    choose(broken);
    EXPECT_EQ(messages.texts().last(), QStringLiteral("%1 をサウンドフォントとして使えません\nサウンドフォントを読み込めませんでした。")
                                           .arg(QString::fromUtf8(broken)));
    m->FormClose();
    EXPECT_FALSE(storedSoundFont().isValid()) << "nothing chosen, nothing stored";
}

TEST_F(SoundFontWindow, AStoredFontIsUsedFromTheStart)
{
    const QByteArray font = song("chosen.sf2");
    storeSoundFont(font);
    start();
    EXPECT_EQ(soundFontCalls(), QStringList{QStringLiteral("soundfont:") + QString::fromUtf8(font)});
}

TEST_F(SoundFontWindow, AMissingStoredFontIsToldOnceAtTheFirstPlayAndKept)
{
    const QByteArray missing = song("unmounted.sf2", false);
    storeSoundFont(missing);
    start(songs(1));
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.boxes.isEmpty()) << "nothing until Play";
    playRow(0);
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Cannot use the SoundFont : %1\nNo such file or directory\n"
                                                     "The default SoundFont is used.").arg(QString::fromUtf8(missing)));
    EXPECT_EQ(state(), "Playing");
    m->Btn_StopClick();
    playRow(0);
    EXPECT_EQ(messages.boxes.size(), 1);
    EXPECT_TRUE(soundFontCalls().isEmpty());
    m->FormClose();
    EXPECT_EQ(storedSoundFont(), QString::fromUtf8(missing));
}

TEST_F(SoundFontWindow, ASoundFontDroppedAnywhereOnTheWindowIsChosen)
{
    start();
    const QByteArray font = song("dropped.sf2"), other = song("other.SF3"), tune = song("tune.mid");
    EXPECT_FALSE(drop(Part<QPushButton>(*m, "Btn_Play"), {tune})) << "songs are taken only on the playlist";
    EXPECT_TRUE(drop(Part<QPushButton>(*m, "Btn_Play"), {tune, font}));
    EXPECT_TRUE(drop(Part<PlaylistView>(*m, "VMusicList")->viewport(), {other, tune}));
    EXPECT_EQ(soundFontCalls(), (QStringList{QStringLiteral("soundfont:") + QString::fromUtf8(font),
                                             QStringLiteral("soundfont:") + QString::fromUtf8(other)}));
    ASSERT_EQ(Playlist.Items.size(), 1);
    EXPECT_EQ(Playlist.Items[0].Path, tune);
    EXPECT_TRUE(messages.boxes.isEmpty());
}
