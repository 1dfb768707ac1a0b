// Size rules of the panes, the option commands of the shell, help and about.
#include "gui/messages.h"
#include "support/windowparts.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/helpwindow.h"
#include "gui/widgets/splitterhandle.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class LayoutOptionsTest : public ::testing::Test
{
protected:
    FakeSequencer::Shared device;
    MessageRecorder messages;
    AppWindows w;

    void SetUp() override
    {
        w = CreateAppWindows(std::make_unique<FakeSequencer>(&device));
        w.main->show();
    }
};

TEST_F(LayoutOptionsTest, FilePaneSplitsItsHeightBetweenTheLists)
{
    TFrm_main &m = *w.main;
    struct Case {
        int height;
        int dirHeight;
        int fileTop;
        int fileHeight;
    };
    for (const Case &c : {Case{300, 126, 150, 150}, Case{301, 126, 150, 150}, Case{303, 127, 151, 151},
                          Case{100, 26, 50, 50}, Case{7, 0, 24, 3}}) {
        SCOPED_TRACE(c.height);
        Part<QWidget>(m, "Panel_Files")->resize(180, c.height);
        EXPECT_EQ(Part<DriveList>(m, "DrvBox")->geometry().topLeft(), QPoint(0, 0));
        EXPECT_EQ(Part<DriveList>(m, "DrvBox")->width(), 180);
        EXPECT_EQ(Part<FolderList>(m, "DirListBox")->x(), 1);
        EXPECT_EQ(Part<FolderList>(m, "DirListBox")->width(), 180);
        EXPECT_EQ(Part<FolderList>(m, "DirListBox")->height(), c.dirHeight);
        EXPECT_EQ(Part<FileList>(m, "FileListBox")->geometry(), QRect(1, c.fileTop, 180, c.fileHeight));
    }
}

TEST_F(LayoutOptionsTest, ThePlaylistViewNeverGetsNarrowerThan50OrWiderThanTheWindowAllows)
{
    TFrm_main &m = *w.main;
    const int client = Part<QWidget>(m, "ClientArea")->width();
    // Drag the splitter almost to the right edge.
    QTest::mousePress(Part<SplitterHandle>(m, "Splitter2"), Qt::LeftButton, {}, QPoint(1, 10));
    QTest::mouseMove(Part<SplitterHandle>(m, "Splitter2"), QPoint(client - Part<SplitterHandle>(m, "Splitter2")->x() - 10, 10));
    QTest::mouseRelease(Part<SplitterHandle>(m, "Splitter2"), Qt::LeftButton, {}, QPoint(client - Part<SplitterHandle>(m, "Splitter2")->x() - 10, 10));
    EXPECT_EQ(m.listWidth(), 50);
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->width(), 50);

    // Drag it 101 pixels left: the view grows by as much, the pane shrinks.
    QTest::mousePress(Part<SplitterHandle>(m, "Splitter2"), Qt::LeftButton, {}, QPoint(1, 10));
    QTest::mouseRelease(Part<SplitterHandle>(m, "Splitter2"), Qt::LeftButton, {}, QPoint(-100, 10));
    EXPECT_EQ(m.listWidth(), 151);
    EXPECT_EQ(Part<QWidget>(m, "Panel_Files")->width(), client - 154);

    // A window narrower than the view plus 20 shrinks the view.
    m.setListWidth(400);
    m.resize(300, m.height());
    EXPECT_EQ(m.listWidth(), 280);
    m.resize(600, m.height());
    EXPECT_EQ(m.listWidth(), 280) << "widening leaves the view as it is";
}

TEST_F(LayoutOptionsTest, SaveListAndAutoPlayKeepEachOtherConsistent)
{
    TFrm_main &m = *w.main;
    Part<QAction>(m, "Autoplay1")->trigger();
    EXPECT_TRUE(Part<QAction>(m, "Autoplay1")->isChecked());
    EXPECT_TRUE(Part<QAction>(m, "N6")->isChecked());
    Part<QAction>(m, "Autoplay1")->trigger();
    EXPECT_FALSE(Part<QAction>(m, "Autoplay1")->isChecked());
    EXPECT_TRUE(Part<QAction>(m, "N6")->isChecked()) << "unchecking auto play leaves save list";
    Part<QAction>(m, "Autoplay1")->trigger();
    Part<QAction>(m, "N6")->trigger();
    EXPECT_FALSE(Part<QAction>(m, "N6")->isChecked());
    EXPECT_FALSE(Part<QAction>(m, "Autoplay1")->isChecked());
    Part<QAction>(m, "N6")->trigger();
    EXPECT_TRUE(Part<QAction>(m, "N6")->isChecked());
    EXPECT_FALSE(Part<QAction>(m, "Autoplay1")->isChecked());
}

TEST_F(LayoutOptionsTest, ShowPositionTogglesWithoutTouchingTheTitleWhileIdle)
{
    TFrm_main &m = *w.main;
    Part<QAction>(m, "showposition1")->trigger();
    EXPECT_TRUE(Part<QAction>(m, "showposition1")->isChecked());
    m.SetTitle(QStringLiteral("Quavette - 1/2 - x.mid"));
    Part<QAction>(m, "showposition1")->trigger();
    EXPECT_FALSE(Part<QAction>(m, "showposition1")->isChecked());
    EXPECT_EQ(m.Title(), QStringLiteral("Quavette - 1/2 - x.mid"));
}

TEST_F(LayoutOptionsTest, ShowControllerWithNothingLoadedLeavesTheScrollBarAlone)
{
    TFrm_main &m = *w.main;
    Part<QAction>(m, "Showcontroller1")->trigger();
    EXPECT_TRUE(Part<QAction>(m, "Showcontroller1")->isChecked());
    EXPECT_TRUE(w.ctrl->isVisible());
    EXPECT_EQ(w.ctrl->Scr_Time->maximum(), 0);
    EXPECT_FALSE(device.calls.contains(QStringLiteral("open")));
    Part<QAction>(m, "Showcontroller1")->trigger();
    EXPECT_FALSE(Part<QAction>(m, "Showcontroller1")->isChecked());
    EXPECT_FALSE(w.ctrl->isVisible());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(LayoutOptionsTest, F1OpensTheManualInTheChosenLanguage)
{
    TFrm_main &m = *w.main;
    m.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    QTest::keyClick(Part<PlaylistView>(m, "VMusicList"), Qt::Key_F1);
    auto *help = m.findChild<HelpWindow *>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("quavette-midi")));
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("list.qvt")));

    Part<QAction>(m, "Japanese1")->trigger();
    Part<QAction>(m, "Help2")->trigger();
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("目次")));

    m.close();
    EXPECT_FALSE(help->isVisible()) << "the help window closes with the program";
}

TEST_F(LayoutOptionsTest, TheHelpWindowOpensWhollyOnTheScreen)
{
    TFrm_main &m = *w.main;
    const QRect screen = m.screen()->availableGeometry();
    m.move(screen.right() - 100, screen.bottom() - 80); // in a corner, mostly off
    m.show();
    Part<QAction>(m, "Help2")->trigger();
    auto *help = m.findChild<HelpWindow *>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(screen.contains(help->frameGeometry())) << help->frameGeometry().x() << "," << help->frameGeometry().y();
}

TEST_F(LayoutOptionsTest, AboutNamesTheProgramAndWhatItRunsOn)
{
    Part<QAction>(*w.main, "About1")->trigger();
    ASSERT_EQ(messages.boxes.size(), 1);
    const MessageRequest &box = messages.boxes[0];
    EXPECT_EQ(box.caption, QStringLiteral("About"));
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(box.text.contains(QStringLiteral("Quavette version " QUAVETTE_VERSION)));
    EXPECT_TRUE(box.text.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
    EXPECT_TRUE(box.text.contains(QStringLiteral("FluidSynth 2.")));
}

} // namespace
