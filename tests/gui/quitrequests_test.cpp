// The desktop's request to end, by signal.
#include "gui/quitrequests.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

TEST(QuitRequests, SignalsAskOnceHoweverManyCome)
{
    QuitRequests requests;
    QSignalSpy asked(&requests, &QuitRequests::requested);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ASSERT_EQ(std::raise(signal), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.size() == 1; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(asked.size(), 1);
}
