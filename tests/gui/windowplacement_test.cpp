// Stored bounds on two screens side by side: the nearest screen takes a
// window that is out of reach or too large; a usable one stays as stored.
#include "gui/windowplacement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, TheNearestOfTwoScreensTakesAWindowThatIsOutOfReachOrTooLarge)
{
    const QList<QRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const QSize firstRun(549, 369);
    const struct {
        QRect stored;
        QRect expected;
    } cases[] = {
        {{3150, 1000, 600, 400}, {2600, 624, 600, 400}},  // 50 x 24 of it on the second screen: too little
        {{3100, 900, 600, 400}, {3100, 900, 600, 400}},   // 100 x 124 of it there: usable
        {{5000, 100, 600, 400}, {2600, 100, 600, 400}},   // right of the second screen
        {{100, 3000, 600, 400}, {100, 680, 600, 400}},    // below the first
        {{1950, 0, 1500, 1100}, {1920, 0, 1280, 1024}},   // mostly on the second, larger than it
        {{2000, 50, 0, 400}, {2000, 50, 549, 400}},       // no width: the first-run width
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored.x() << ',' << c.stored.y() << ' ' << c.stored.width() << 'x'
                                        << c.stored.height());
        EXPECT_EQ(UsableBounds(c.stored.x(), c.stored.y(), c.stored.width(), c.stored.height(), screens, firstRun),
                  c.expected);
    }
}

} // namespace
