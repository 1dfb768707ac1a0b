// The main window's language commands: "&English" and "&Japanese".
#include "gui/mainwindow/tfrm_main.h"

#include "gui/captions.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/lyrics/lyricswindow.h"
#include "gui/widgets/playlistmodel.h"

#include <QAction>
#include <QPushButton>

void TFrm_main::English1Click()
{
    applyLanguage(Language::English);
}

void TFrm_main::Japanese1Click()
{
    applyLanguage(Language::Japanese);
}

Language TFrm_main::language() const
{
    return Japanese1->isChecked() ? Language::Japanese : Language::English;
}

void TFrm_main::applyLanguage(Language language)
{
    English1->setChecked(language == Language::English);
    Japanese1->setChecked(language == Language::Japanese);
    ApplyMainCaptions(*this, language);
    showCopiedCaptions(language);
    if (m_lyricsWindow)
        m_lyricsWindow->setLanguage(language);
    // The controller does not exist yet while the main window is created;
    // its own creation applies its captions.
    if (StartingUp)
        return;
    if (Frm_ctrl)
        ApplyControllerCaptions(*Frm_ctrl, language);
}

void TFrm_main::showCopiedCaptions(Language language)
{
    // The popup items repeat the buttons they stand for.
    Clear->setText(Btn_clear->text());
    Up->setText(Btn_Up->text());
    Down->setText(Btn_Down->text());
    for (int column = 0; column < 2; ++column)
        Model->setColumnCaption(column, ColumnCaption(column, language));
}
