// Every button's caption fits its button in both languages, measured with the
// font and the style the program draws with. The "captions" scenario runs it
// on a real X display beside the screenshots of both windows.
#include "gui/controller/tfrm_ctrl.h"
#include "support/windowparts.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/startup.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

namespace {

// The caption as drawn: a mnemonic's "&" is not shown.
QString shownText(const QString &caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        out += caption[i];
    }
    return out;
}

void expectCaptionsFit(const QList<QPushButton *> &buttons, const char *language)
{
    for (QPushButton *button : buttons) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->autoDefault() || button->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const int advance = QFontMetrics(button->font()).horizontalAdvance(shownText(button->text()));
        EXPECT_LE(advance, contents.width())
            << language << ' ' << button->window()->objectName().toStdString() << '.'
            << button->objectName().toStdString() << " \"" << button->text().toStdString() << "\" in "
            << QFontInfo(button->font()).family().toStdString();
    }
}

TEST(Captions, EveryButtonCaptionFitsItsButtonInBothLanguages)
{
    FakeSequencer::Shared device;
    MessageRecorder messages;
    AppWindows w = CreateAppWindows(std::make_unique<FakeSequencer>(&device));
    w.main->show();
    w.ctrl->show();
    const QList<QPushButton *> buttons = Part<QWidget>(*w.main, "Panel_Btns")->findChildren<QPushButton *>()
                                         + w.ctrl->findChildren<QPushButton *>();
    ASSERT_EQ(buttons.size(), 16);
    expectCaptionsFit(buttons, "English");
    w.main->Japanese1Click();
    ASSERT_EQ(w.ctrl->Btn_pause->text(), QStringLiteral("一時停止(&E)"));
    expectCaptionsFit(buttons, "Japanese");
}

} // namespace
