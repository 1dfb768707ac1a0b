// The main window's Option > "Show &lyrics": the lyrics window, created the
// first time the item is checked, and the item's stored state.
#include "gui/mainwindow/tfrm_main.h"

#include "core/settingsstore.h"
#include "gui/lyrics/lyricswindow.h"

#include <QAction>

void TFrm_main::ShowLyrics1Click()
{
    m_lyricsSettingKnown = true;
    if (!ShowLyrics1->isChecked()) {
        if (m_lyricsWindow)
            m_lyricsWindow->hide();
        return;
    }
    if (!m_lyricsWindow) {
        m_lyricsWindow = new LyricsWindow(this);
        SettingsStore store;
        m_lyricsWindow->restorePlace(store);
        connect(m_lyricsWindow, &LyricsWindow::closed, this, [this] { ShowLyrics1->setChecked(false); });
    }
    m_lyricsWindow->setLanguage(language());
    m_lyricsWindow->setWindowState(m_lyricsWindow->windowState() & ~Qt::WindowMinimized);
    m_lyricsWindow->show();
    m_lyricsWindow->raise();
}

void TFrm_main::readLyricsSettings(SettingsStore &store)
{
    m_lyricsSettingKnown = store.Has(Settings::ShowLyrics);
    if (store.ReadFlagSetting(Settings::ShowLyrics))
        ShowLyrics1->trigger();
}

// Neither the item nor the window's place is written before either was used,
// so that a settings file stays as it was for whoever never shows lyrics.
void TFrm_main::writeLyricsSettings(SettingsStore &store)
{
    if (m_lyricsSettingKnown)
        store.WriteFlagSetting(Settings::ShowLyrics, ShowLyrics1->isChecked());
    if (m_lyricsWindow)
        m_lyricsWindow->storePlace(store);
}

void TFrm_main::wireLyricsHandlers()
{
    connectCommand(ShowLyrics1, &TFrm_main::ShowLyrics1Click);
}
