// The main window's Option > "Play &loops": songs with a loop marked in them
// play the intro, the loop twice and the loop fading out, from the next song
// opened on. The song playing keeps the length it was opened with.
#include "gui/mainwindow/tfrm_main.h"

#include "core/settingsstore.h"
#include "device/tmediaplayer.h"

#include <QAction>

void TFrm_main::PlayLoops1Click()
{
    m_loopSettingKnown = true;
    MediaPlayer->setPlayLoops(PlayLoops1->isChecked());
    Q_EMIT optionsChanged();
}

void TFrm_main::readLoopSettings(SettingsStore &store)
{
    m_loopSettingKnown = store.Has(Settings::PlayLoops);
    // The device starts with loops off.
    if (store.ReadFlagSetting(Settings::PlayLoops)) {
        PlayLoops1->setChecked(true);
        MediaPlayer->setPlayLoops(true);
    }
}

// Not written before it was used, so that a settings file stays as it was for
// whoever never plays loops.
void TFrm_main::writeLoopSettings(SettingsStore &store)
{
    if (m_loopSettingKnown)
        store.WriteFlagSetting(Settings::PlayLoops, PlayLoops1->isChecked());
}

void TFrm_main::wireLoopHandlers()
{
    connectCommand(PlayLoops1, &TFrm_main::PlayLoops1Click);
}
