// The media controls' commands, as a burst from the bus arrives.
#include "gui/mpris.h"

#include "support/playbackfixture.h"

#include <QCoreApplication>

namespace {

class MprisBurst : public PlaybackFixture {};

TEST_F(MprisBurst, MovesInARowOpenOneSongWhereTheyLead)
{
    start(songs(5));
    playRow(0);
    MprisService mpris;
    const auto from = device.calls.size();
    for (int i = 0; i < 10000; ++i)
        mpris.Next();
    for (int i = 0; i < 3; ++i)
        mpris.Previous();
    QCoreApplication::processEvents();
    EXPECT_EQ(callsSince(from).filter(QStringLiteral("open:")).size(), 1);
    EXPECT_EQ(m->SelectedRow(), 9997 % 5);
    EXPECT_EQ(state(), "Playing");

    // A command between moves keeps its place among them.
    mpris.Next();
    mpris.Pause();
    mpris.Next();
    QCoreApplication::processEvents();
    EXPECT_EQ(m->SelectedRow(), (9997 + 2) % 5);
    EXPECT_EQ(state(), "Playing") << "paused, then moved on, which plays";
}

} // namespace
