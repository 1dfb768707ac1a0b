#include "gui/captions.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace {

struct CaptionRow {
    const char *name; // objectName of the control
    const char *english;
    const char *japanese;
};

// Main menu items, in the order they are set.
const CaptionRow MainMenuCaptions[] = {
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

// Main window buttons.
const CaptionRow MainButtonCaptions[] = {
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

// Controller buttons; the pause and stop buttons have other accelerators
// than the main window's.
const CaptionRow ControllerCaptions[] = {
    {"Btn_Play", "&Play", "再生(&P)"},
    {"Btn_pause", "Paus&e", "一時停止(&E)"},
    {"Btn_Stop", "&Stop", "停止(&S)"},
    {"Btn_Change", "&Change!", "変更(&C)"},
    {"Btn_Back", "<-&Back", "<-戻る(&B)"},
    {"Btn_Next", "&Next->", "進む->(&N)"},
};

const CaptionRow ColumnCaptions[] = {
    {"File name", "File name", "ファイル名"},
    {"Path", "Path", "パス名"},
};

// Captions the main window is created with where they differ from the
// English column.
const CaptionRow MainCreationCaptions[] = {
    {"Btn_pause", "Pau&se", nullptr},
    {"Btn_Stop", "S&top", nullptr},
};

QString pick(const CaptionRow &row, Language language)
{
    return QString::fromUtf8(language == Language::Japanese ? row.japanese : row.english);
}

// Sets the caption of the control of that name, whatever its kind. A name
// that the window does not have is a mistake in the tables.
void setCaption(QWidget &window, const CaptionRow &row, Language language)
{
    const QString name = QString::fromLatin1(row.name);
    const QString text = pick(row, language);
    if (auto *menu = window.findChild<QMenu *>(name))
        menu->setTitle(text);
    else if (auto *action = window.findChild<QAction *>(name))
        action->setText(text);
    else if (auto *button = window.findChild<QAbstractButton *>(name))
        button->setText(text);
    else
        throw std::logic_error("no control named " + std::string(row.name) + " takes a caption");
}

template <std::size_t N>
void applyTable(QWidget &window, const CaptionRow (&table)[N], Language language)
{
    for (const CaptionRow &row : table)
        setCaption(window, row, language);
}

} // namespace

void ApplyMainCaptions(QWidget &main, Language language)
{
    applyTable(main, MainMenuCaptions, language);
    applyTable(main, MainButtonCaptions, language);
}

void ApplyMainCreationCaptions(QWidget &main)
{
    ApplyMainCaptions(main, Language::English);
    applyTable(main, MainCreationCaptions, Language::English);
}

void ApplyControllerCaptions(QWidget &ctrl, Language language)
{
    applyTable(ctrl, ControllerCaptions, language);
}

QString ColumnCaption(int column, Language language)
{
    return pick(ColumnCaptions[column], language);
}
