// The engine and the controller over the real FluidSynth sequencer and the
// General MIDI SoundFont, rendering into memory on a clock the test advances.
#include "gui/messages.h"
#include "support/windowparts.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "device/fluidsequencer.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "core/playlist.h"
#include "support/messagerecorder.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QByteArray Corpus = QUAVETTE_TEST_DATA "/midi/";

class RealPlayback : public ::testing::Test
{
protected:
    static constexpr int Block = 441; // 10 ms at 44.1 kHz
    MessageRecorder messages;
    AppWindows w;
    TFrm_main *m = nullptr;
    TFrm_ctrl *c = nullptr;
    FluidSequencer *sequencer = nullptr;
    std::vector<float> left = std::vector<float>(Block), right = std::vector<float>(Block);

    void SetUp() override
    {
        FluidSequencer::Options options;
        options.renderToMemory = true;
        auto owned = std::make_unique<FluidSequencer>(options);
        sequencer = owned.get();
        Playlist.Items.clear();
        w = CreateAppWindows(std::move(owned));
        m = w.main.get();
        c = w.ctrl.get();
    }

    void TearDown() override
    {
        w = AppWindows();
        Playlist.Items.clear();
    }

    void setPlaylist(std::initializer_list<const char *> names)
    {
        for (const char *name : names)
            Playlist.Items.append(TQVTItem{Corpus + name});
        m->RebuildPlaylistView();
    }

    // 10 ms of sound, then a tick, as the timer would see it. Returns the
    // block's peak amplitude.
    float step()
    {
        sequencer->render(Block, left.data(), right.data());
        float peak = 0;
        for (int i = 0; i < Block; ++i)
            peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
        m->Tmr1Timer();
        return peak;
    }
};

TEST_F(RealPlayback, ThreeSongsPlayThroughInOrderAndWrapToTheFirst)
{
    setPlaylist({"jazzsoft__test-track-length.mid", "jazzsoft__test-c-major-scale.mid",
                 "jazzsoft__test-2-tracks-type-0.mid"});
    Part<QPushButton>(*m, "Btn_Play")->click();
    ASSERT_TRUE(messages.boxes.isEmpty()) << messages.texts().join(u'\n').toStdString();

    struct Played {
        int row;
        int length;
        int lastPosition = 0;
        float peak = 0;
    };
    std::vector<Played> played{{CurrentIndex, m->MediaPlayer->Length()}};
    // Each song lasts at most 4.5 s; 12 s covers the three and the wrap.
    for (int i = 0; i < 1200 && played.size() < 4; ++i) {
        const int position = m->MediaPlayer->Position();
        const float peak = step();
        if (CurrentIndex != played.back().row) {
            played.push_back({CurrentIndex, m->MediaPlayer->Length()});
            continue;
        }
        played.back().lastPosition = std::max(played.back().lastPosition, position);
        played.back().peak = std::max(played.back().peak, peak);
    }

    ASSERT_EQ(played.size(), 4u);
    const int rows[] = {0, 1, 2, 0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(played[i].row, rows[i]);
        EXPECT_GT(played[i].length, 1000);
        EXPECT_GE(played[i].lastPosition, played[i].length - 20) << "the song did not play to its end";
        EXPECT_GT(played[i].peak, 0.001f) << "the song was silent";
    }
    EXPECT_EQ(played[3].row, 0);
    EXPECT_EQ(m->SelectedRow(), 0);
    EXPECT_TRUE(Part<QTimer>(*m, "Tmr1")->isActive());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(RealPlayback, ChangeToTheMiddleContinuesFromThere)
{
    setPlaylist({"jazzsoft__test-c-major-scale.mid"});
    c->show(); // a hidden controller is left alone
    Part<QPushButton>(*m, "Btn_Play")->click();
    ASSERT_TRUE(messages.boxes.isEmpty()) << messages.texts().join(u'\n').toStdString();
    const int length = m->MediaPlayer->Length();
    ASSERT_EQ(c->Scr_change->maximum(), length);
    for (int i = 0; i < 50; ++i)
        step();
    ASSERT_LT(m->MediaPlayer->Position(), length / 4);

    c->Scr_change->setValue(length / 2);
    EXPECT_EQ(c->Lbl_ToTime->text(), QStringLiteral("%1/%2").arg(length / 2).arg(length));
    c->Btn_Change->click();
    EXPECT_EQ(m->MediaPlayer->Mode(), TPlayerMode::pmPlaying);
    const int from = m->MediaPlayer->Position();
    EXPECT_EQ(from, length / 2);
    for (int i = 0; i < 20; ++i)
        step();
    const int now = m->MediaPlayer->Position();
    EXPECT_GE(now, from + 190);
    EXPECT_LE(now, from + 210);
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("%1/%2").arg(now).arg(length));
    EXPECT_EQ(c->Scr_Time->value(), now);
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(RealPlayback, AFileThatIsNotASongGivesErrorB1)
{
    setPlaylist({"jazzsoft__test-not-a-midi-file.mid"});
    Part<QPushButton>(*m, "Btn_Play")->click();
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Error(b-1)")}));
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - jazzsoft__test-not-a-midi-file.mid"));
    EXPECT_FALSE(Part<QTimer>(*m, "Tmr1")->isActive());
    EXPECT_FALSE(Part<QPushButton>(*m, "Btn_Stop")->isEnabled());
}

} // namespace
