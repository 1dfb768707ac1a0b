#include "gui/captions.h"

#include "gui/mainwindow/tfrm_main.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/widgets/playlistmodel.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QPushButton>

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

QString pick(const CaptionRow &row, Language language)
{
    return QString::fromUtf8(language == Language::Japanese ? row.japanese : row.english);
}

// Sets the caption of the control of that name, whatever its kind.
void setCaption(QObject &window, const CaptionRow &row, Language language)
{
    const QString name = QString::fromLatin1(row.name);
    const QString text = pick(row, language);
    if (auto *menu = window.findChild<QMenu *>(name))
        menu->setTitle(text);
    else if (auto *action = window.findChild<QAction *>(name))
        action->setText(text);
    else if (auto *button = window.findChild<QAbstractButton *>(name))
        button->setText(text);
}

template <std::size_t N>
void applyTable(QObject &window, const CaptionRow (&table)[N], Language language)
{
    for (const CaptionRow &row : table)
        setCaption(window, row, language);
}

} // namespace

void ApplyControllerCaptions(TFrm_ctrl &ctrl, Language language)
{
    applyTable(ctrl, ControllerCaptions, language);
}

void ApplyMainCaptions(TFrm_main &main, Language language)
{
    applyTable(main, MainMenuCaptions, language);
    applyTable(main, MainButtonCaptions, language);
    // The popup items copy the buttons they stand for.
    main.Clear->setText(main.Btn_clear->text());
    main.Up->setText(main.Btn_Up->text());
    main.Down->setText(main.Btn_Down->text());
    for (int column = 0; column < 2; ++column)
        main.Model->setColumnCaption(column, pick(ColumnCaptions[column], language));
}
