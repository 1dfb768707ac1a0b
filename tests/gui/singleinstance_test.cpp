// The one-instance server against the clients a hostile or unlucky desktop
// sends it: idle ones, floods, oversized requests, a start that gave up.
#include "gui/singleinstance.h"

#include <QDataStream>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

QByteArray Request(const QList<QByteArray> &files)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << files;
    QByteArray framed;
    QDataStream framing(&framed, QIODevice::WriteOnly);
    framing << body;
    return framed;
}

class SingleInstanceServer : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    SingleInstance server{dir.filePath(QStringLiteral("instance"))};
    std::vector<std::unique_ptr<QLocalSocket>> clients;

    void SetUp() override
    {
        ASSERT_EQ(server.Claim({}), SingleInstance::Start::First);
        server.Ready();
    }

    QLocalSocket *connectClient()
    {
        clients.push_back(std::make_unique<QLocalSocket>());
        QLocalSocket *client = clients.back().get();
        client->connectToServer(server.ServerName());
        EXPECT_TRUE(client->waitForConnected(1000));
        return client;
    }

    static bool closed(QLocalSocket *client)
    {
        return QTest::qWaitFor([client] { return client->state() == QLocalSocket::UnconnectedState; }, 5000);
    }
};

TEST_F(SingleInstanceServer, FilesAreTakenOnlyOnceTheStartConfirmsThem)
{
    QSignalSpy taken(&server, &SingleInstance::received);
    for (const bool confirms : {false, true}) {
        QLocalSocket *client = connectClient();
        client->write(Request({"/songs/a.mid"}));
        ASSERT_TRUE(QTest::qWaitFor([client] { return client->bytesAvailable() > 0; }, 5000));
        if (confirms)
            client->putChar('\x01');
        else
            client->abort(); // the start gave up, and said so
        ASSERT_TRUE(confirms ? closed(client) : true);
        QTest::qWait(100);
    }
    ASSERT_EQ(taken.size(), 1);
    EXPECT_EQ(taken.at(0).at(0).value<QList<QByteArray>>(), QList<QByteArray>({"/songs/a.mid"}));
}

TEST_F(SingleInstanceServer, IdleOversizedAndSurplusConnectionsAreDropped)
{
    QLocalSocket *oversized = connectClient();
    const char huge[4] = {'\x7f', '\xff', '\xff', '\xff'}; // a 2 GB request announced
    oversized->write(huge, 4);
    EXPECT_TRUE(closed(oversized)) << "an announced request over the limit";

    std::vector<QLocalSocket *> idle;
    for (int i = 0; i < SingleInstance::MaxConnections + 4; ++i)
        idle.push_back(connectClient());
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(closed(idle[i])) << "the oldest make room: " << i;
    EXPECT_EQ(idle[4]->state(), QLocalSocket::ConnectedState);
    EXPECT_TRUE(closed(idle.back())) << "silent for longer than the request may take";
}

TEST_F(SingleInstanceServer, AServerClosedByAFailedAcceptIsOpenedAgain)
{
    // What QLocalServer does when accept() fails: it closes and removes its
    // socket file.
    auto *qt = server.findChild<QLocalServer *>();
    ASSERT_NE(qt, nullptr);
    qt->close();
    ASSERT_FALSE(QFileInfo::exists(server.ServerName()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return qt->isListening() && QFileInfo::exists(server.ServerName()); }, 5000));

    QSignalSpy taken(&server, &SingleInstance::received);
    QLocalSocket *client = connectClient();
    client->write(Request({"/songs/b.mid"}));
    ASSERT_TRUE(QTest::qWaitFor([client] { return client->bytesAvailable() > 0; }, 5000));
    client->putChar('\x01');
    EXPECT_TRUE(QTest::qWaitFor([&] { return taken.size() == 1; }, 5000));
}

} // namespace
