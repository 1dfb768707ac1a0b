// The two languages: every caption of both windows after each command,
// against this test's own copy of the caption tables.
#include "gui/captions.h"
#include "support/windowparts.h"
#include "gui/messages.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/widgets/playlistmodel.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

struct Row {
    const char *name;
    const char *english;
    const char *japanese;
};

const Row MenuRows[] = {
    {"File1", "&File", "ﾌｧｲﾙ(&F)"},
    {"Save1", "&Save", "上書き保存(&S)"},
    {"SaveAs1", "Save &As...", "名前を付けて保存(&A)..."},
    {"Open1", "&Open...", "開く(&O)..."},
    {"Uninstall1", "&Uninstall", "ｱﾝｲﾝｽﾄｰﾙ(&U)"},
    {"Exit1", "E&xit", "終了(&X)"},
    {"Edit1", "&Edit", "編集(&E)"},
    {"Add1", "&Add", "追加(&A)"},
    {"Delete1", "&Delete", "削除(&D)"},
    {"Clear1", "&Clear", "全消去(&C)"},
    {"Up1", "&Up", "上へ(&U)"},
    {"Down1", "Do&wn", "下へ(&W)"},
    {"Option1", "&Option", "ｵﾌﾟｼｮﾝ(&O)"},
    {"RandomMode1", "&Random mode", "ﾗﾝﾀﾞﾑﾓｰﾄﾞ(&R)"},
    {"Loop", "Repea&t", "リピート(&T)"},
    {"N6", "&Save list", "終了時のリストを保持(&S)"},
    {"showposition1", "Show &position", "再生位置を表示(&P)"},
    {"Autoplay1", "&Auto play", "自動再生(&A)"},
    {"Showcontroller1", "Show &controller", "ｺﾝﾄﾛｰﾗを表示(&C)"},
    {"SoundFont1", "Sound&Font...", "サウンドフォント(&F)..."},
    {"ShowLyrics1", "Show &lyrics", "歌詞を表示(&L)"},
    {"PlayLoops1", "Play &loops", "ループ再生(&L)"},
    {"Help1", "&Help", "ﾍﾙﾌﾟ(&H)"},
    {"About1", "&About...", "ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    {"Help2", "&Contents", "目次(&C)"},
};
const Row ButtonRows[] = {
    {"Btn_Play", "&Play", "再生(&P)"},
    {"Btn_pause", "Paus&e", "一時停止(&S)"},
    {"Btn_Stop", "&Stop", "停止(&T)"},
    {"Btn_add", "&Add", "追加(&A)"},
    {"Btn_delete", "&Delete", "削除(&D)"},
    {"Btn_clear", "&Clear", "全消去(&C)"},
    {"Btn_Up", "&Up", "上へ(&U)"},
    {"Btn_Down", "Do&wn", "下へ(&W)"},
    {"Btn_Back", "&Back", "戻る(&B)"},
    {"Btn_Next", "&Next", "進む(&N)"},
};
const Row ControllerRows[] = {
    {"Btn_Play", "&Play", "再生(&P)"},
    {"Btn_pause", "Paus&e", "一時停止(&E)"},
    {"Btn_Stop", "&Stop", "停止(&S)"},
    {"Btn_Change", "&Change!", "変更(&C)"},
    {"Btn_Back", "<-&Back", "<-戻る(&B)"},
    {"Btn_Next", "&Next->", "進む->(&N)"},
};

QString captionOf(QObject &window, const char *name)
{
    const QString n = QString::fromLatin1(name);
    if (auto *menu = window.findChild<QMenu *>(n))
        return menu->title();
    if (auto *action = window.findChild<QAction *>(n))
        return action->text();
    if (auto *button = window.findChild<QAbstractButton *>(n))
        return button->text();
    ADD_FAILURE() << "no control " << name;
    return {};
}

template <std::size_t N>
void expectTable(QObject &window, const Row (&rows)[N], bool japanese)
{
    for (const Row &row : rows)
        EXPECT_EQ(captionOf(window, row.name), QString::fromUtf8(japanese ? row.japanese : row.english)) << row.name;
}

void expectMainWindow(TFrm_main &m, bool japanese)
{
    expectTable(m, MenuRows, japanese);
    expectTable(m, ButtonRows, japanese);
    EXPECT_EQ(Part<QAction>(m, "Clear")->text(), Part<QPushButton>(m, "Btn_clear")->text());
    EXPECT_EQ(Part<QAction>(m, "Up")->text(), Part<QPushButton>(m, "Btn_Up")->text());
    EXPECT_EQ(Part<QAction>(m, "Down")->text(), Part<QPushButton>(m, "Btn_Down")->text());
    EXPECT_EQ(Part<PlaylistModel>(m, "Model")->headerData(0, Qt::Horizontal).toString(),
              japanese ? QStringLiteral("ファイル名") : QStringLiteral("File name"));
    EXPECT_EQ(Part<PlaylistModel>(m, "Model")->headerData(1, Qt::Horizontal).toString(),
              japanese ? QStringLiteral("パス名") : QStringLiteral("Path"));
    EXPECT_EQ(Part<QAction>(m, "English1")->isChecked(), !japanese);
    EXPECT_EQ(Part<QAction>(m, "Japanese1")->isChecked(), japanese);
    // Never translated.
    EXPECT_EQ(Part<QAction>(m, "English1")->text(), QStringLiteral("&English"));
    EXPECT_EQ(Part<QAction>(m, "Japanese1")->text(), QStringLiteral("&Japanese"));
    EXPECT_EQ(m.Title(), QStringLiteral("Quavette"));
}

class LanguageTest : public ::testing::Test
{
protected:
    FakeSequencer::Shared device;
    MessageRecorder messages;
    AppWindows start() { return CreateAppWindows(std::make_unique<FakeSequencer>(&device)); }
};

TEST_F(LanguageTest, EachCommandSetsEveryCaptionOfBothWindows)
{
    AppWindows w = start();
    for (bool japanese : {true, false, true, true, false, false}) {
        SCOPED_TRACE(japanese ? "Japanese" : "English");
        (japanese ? Part<QAction>(*w.main, "Japanese1") : Part<QAction>(*w.main, "English1"))->trigger();
        expectMainWindow(*w.main, japanese);
        expectTable(*w.ctrl, ControllerRows, japanese);
        EXPECT_EQ(w.ctrl->windowTitle(), QStringLiteral("Controller"));
        EXPECT_EQ(w.ctrl->Lbl_time->text(), QStringLiteral("Stopped"));
    }
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(LanguageTest, EnglishAfterAnEnglishStartChangesPauseAndStopAccelerators)
{
    AppWindows w = start();
    EXPECT_EQ(Part<QPushButton>(*w.main, "Btn_pause")->text(), QStringLiteral("Pau&se"));
    EXPECT_EQ(Part<QPushButton>(*w.main, "Btn_Stop")->text(), QStringLiteral("S&top"));
    Part<QAction>(*w.main, "English1")->trigger();
    EXPECT_EQ(Part<QPushButton>(*w.main, "Btn_pause")->text(), QStringLiteral("Paus&e"));
    EXPECT_EQ(Part<QPushButton>(*w.main, "Btn_Stop")->text(), QStringLiteral("&Stop"));
}

TEST_F(LanguageTest, ATableNameTheWindowLacksIsAnError)
{
    QWidget stranger;
    EXPECT_THROW(ApplyControllerCaptions(stranger, Language::Japanese), std::logic_error);
}

TEST_F(LanguageTest, AStoredJapaneseChoiceStartsJapaneseAndIsStoredAgain)
{
    {
        QSettings s(QStringLiteral("Kestrix"), QStringLiteral("Quavette"));
        s.setValue(QStringLiteral("Option/English"), QStringLiteral("0"));
    }
    {
        AppWindows w = start();
        expectMainWindow(*w.main, true);
        expectTable(*w.ctrl, ControllerRows, true);
        w.main->close();
    }
    {
        QSettings s(QStringLiteral("Kestrix"), QStringLiteral("Quavette"));
        EXPECT_EQ(s.value(QStringLiteral("Option/English")).toString(), QStringLiteral("0"));
    }
    AppWindows again = start();
    expectMainWindow(*again.main, true);
    EXPECT_TRUE(messages.boxes.isEmpty());
}

} // namespace
