// The whole window over the real sequencer where no audio output exists at
// all: the designed box, and the sequencer's reason on standard error.
#include "core/playlist.h"
#include "support/windowparts.h"
#include "device/fluidsequencer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/startup.h"
#include "support/messagerecorder.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(NoAudioOutput, PlayShowsErrorB1AndPrintsTheReason)
{
    setenv("PULSE_SERVER", "unix:/nonexistent/pulse", 1);
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
    MessageRecorder messages;
    FluidSequencer::Options options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    AppWindows w = CreateAppWindows(std::make_unique<FluidSequencer>(options));
    Playlist.Items = {TQVTItem{QUAVETTE_TEST_DATA "/midi/malcohol__test-length-1.mid"}};
    w.main->RebuildPlaylistView();

    testing::internal::CaptureStderr();
    Part<QPushButton>(*w.main, "Btn_Play")->click();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Error(b-1)")}));
    EXPECT_NE(err.find("Error(b-1): No audio output could be opened."), std::string::npos) << err;
    w = AppWindows();
    Playlist.Items.clear();
}

} // namespace
