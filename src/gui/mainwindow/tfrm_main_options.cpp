// The main window's language commands, options of the shell, help and about.
#include "gui/captions.h"
#include "gui/messages.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/helpwindow.h"
#include "gui/controller/tfrm_ctrl.h"

#include <QTimer>

#include <fluidsynth.h>

namespace {
void applyLanguage(TFrm_main &main, Language language)
{
    main.English1->setChecked(language == Language::English);
    main.Japanese1->setChecked(language == Language::Japanese);
    ApplyMainCaptions(main, language);
    // The controller does not exist yet while the main window is created;
    // its own creation applies its captions.
    if (StartingUp)
        return;
    if (Frm_ctrl)
        ApplyControllerCaptions(*Frm_ctrl, language);
}
} // namespace

void TFrm_main::English1Click()
{
    applyLanguage(*this, Language::English);
}

void TFrm_main::Japanese1Click()
{
    applyLanguage(*this, Language::Japanese);
}

void TFrm_main::N6Click()
{
    N6->setChecked(!N6->isChecked());
    if (!N6->isChecked())
        Autoplay1->setChecked(false);
}

void TFrm_main::Autoplay1Click()
{
    Autoplay1->setChecked(!Autoplay1->isChecked());
    N6->setChecked(true);
}

void TFrm_main::showposition1Click()
{
    if (!showposition1->isChecked()) {
        showposition1->setChecked(true);
        return;
    }
    showposition1->setChecked(false);
    if (!Tmr1->isActive())
        return;
    // With no row selected there is no file name to show: the title stays.
    const int row = SelectedRow();
    if (row >= 0)
        SetTitle(QStringLiteral("Quavette - ") + RowFileName(row));
}

void TFrm_main::Help2Click()
{
    ApplicationHelpFile = QStringLiteral("Quavette.hlp");
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        m_helpWindow->setWindowFlag(Qt::Window);
    }
    m_helpWindow->showContents(Japanese1->isChecked());
}

void TFrm_main::About1Click()
{
    const QString text = QStringLiteral("Quavette version %1\n"
                                        "A player for Standard MIDI Files.\n\n"
                                        "Qt %2 (built with %3)\n"
                                        "FluidSynth %4")
                             .arg(QStringLiteral(QUAVETTE_VERSION), QString::fromLatin1(qVersion()),
                                  QStringLiteral(QT_VERSION_STR), QString::fromLatin1(fluid_version_str()));
    ShowMessage({QStringLiteral("About"), text, MsgIcon::None, QMessageBox::Ok});
}
