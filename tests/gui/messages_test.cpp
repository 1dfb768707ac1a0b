// The message seam: what a box shows of a long text, and the answers given
// while the program ends without asking.
#include "gui/messages.h"

#include <gtest/gtest.h>

TEST(Messages, LongLinesAreShortenedInTheirMiddle)
{
    const QString path = QStringLiteral("/music/") + QString(1000, QLatin1Char('x')) + QStringLiteral("/song.mid");
    const QString shown = ElideLongLines(QStringLiteral("Bad file name : ") + path + QStringLiteral("\nshort"), 60);
    const QStringList lines = shown.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), 60);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Bad file name : /music/")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("/song.mid")));
    EXPECT_EQ(lines[1], QStringLiteral("short"));
    EXPECT_EQ(ElideLongLines(QStringLiteral("as it is"), 40), QStringLiteral("as it is"));
}

TEST(Messages, WithoutAskingTheAnswerChangesTheLeast)
{
    SetMessagesToStandardError(true);
    const struct {
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton answer;
    } cases[] = {
        {QMessageBox::Ok, QMessageBox::Ok},
        {QMessageBox::Yes | QMessageBox::No, QMessageBox::No},
        {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Cancel},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ShowMessage({QStringLiteral("error"), QStringLiteral("text"), MsgIcon::None, c.buttons}), c.answer);
    SetMessagesToStandardError(false);
}
