// The controller window over the fake sequencer: forwarding, seeking, the
// seek label, its creation from the settings and the auto-play start, its
// closing, and the painted marker.
#include "support/playbackfixture.h"
#include "support/windowparts.h"

#include "core/settingsstore.h"
#include "core/qvtfile.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QSettings>
#include <QSet>
#include <QTest>

#include <tuple>

namespace {

class Controller : public PlaybackFixture
{
protected:
    // Settings as a previous run left them.
    static void store(const QString &section, const QString &name, int value)
    {
        SettingsStore s;
        s.WriteIntSetting(section, name, value);
        s.Flush();
    }
    static void storeFlag(const QString &section, const QString &name, bool value)
    {
        SettingsStore s;
        s.WriteFlagSetting(section, name, value);
        s.Flush();
    }

    // Puts the player in Halted: the song after the first is missing.
    void halt()
    {
        start({song("a.mid"), song("gone.mid", false), song("b.mid")});
        Part<QPushButton>(*m, "Btn_Play")->click();
        endSongAndTick();
        ASSERT_EQ(state(), "Halted");
        messages.clear();
    }
};

TEST_F(Controller, IsAToolWindowWithItsControlsInPlace)
{
    start();
    EXPECT_EQ(c->windowType(), Qt::Tool);
    EXPECT_TRUE(c->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(c->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(c->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(c->windowTitle(), QStringLiteral("Controller"));
    EXPECT_EQ(c->size(), QSize(196, 165));

    struct Control {
        QWidget *widget;
        QRect bounds;
        bool enabled;
    };
    const Control controls[] = {
        {c->Scr_Time, {0, 32, 193, 17}, true},    {c->Btn_Play, {0, 144, 57, 17}, true},
        {c->Btn_pause, {64, 144, 65, 17}, false}, {c->Btn_Stop, {136, 144, 57, 17}, true},
        {c->Scr_change, {0, 96, 193, 17}, true},  {c->Btn_Change, {64, 120, 65, 17}, true},
        {c->Btn_Next, {136, 120, 57, 17}, true},  {c->Btn_Back, {0, 120, 57, 17}, true},
        {c->Lbl_time, {0, 8, 193, 17}, true},     {c->Lbl_ToTime, {3, 72, 193, 17}, true},
    };
    for (const Control &k : controls) {
        SCOPED_TRACE(k.widget->objectName().toStdString());
        EXPECT_EQ(k.widget->geometry(), k.bounds);
        EXPECT_EQ(k.widget->isEnabled(), k.enabled);
    }
    for (QLabel *label : {c->Lbl_time, c->Lbl_ToTime})
        EXPECT_EQ(label->alignment(), Qt::AlignCenter);

    struct Bar {
        QScrollBar *bar;
        int smallChange, largeChange;
    };
    for (const Bar &k : {Bar{c->Scr_Time, 500, 1000}, Bar{c->Scr_change, 1, 100}}) {
        SCOPED_TRACE(k.bar->objectName().toStdString());
        EXPECT_EQ(k.bar->orientation(), Qt::Horizontal);
        EXPECT_EQ(std::tuple(k.bar->minimum(), k.bar->maximum(), k.bar->value()), std::tuple(0, 0, 0));
        EXPECT_EQ(k.bar->singleStep(), k.smallChange);
        EXPECT_EQ(k.bar->pageStep(), k.largeChange);
    }
}

TEST_F(Controller, TabVisitsTheScrollBarsAndButtonsInOrder)
{
    start(songs(1));
    c->Btn_Play->click(); // every control enabled
    c->show();
    c->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(c));
    QWidget *const order[] = {c->Scr_Time, c->Btn_Play, c->Btn_pause, c->Btn_Stop,
                              c->Scr_change, c->Btn_Change, c->Btn_Next, c->Btn_Back};
    order[0]->setFocus(Qt::TabFocusReason);
    for (std::size_t i = 1; i <= std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i % std::size(order)])
            << "after " << order[i - 1]->objectName().toStdString();
    }
}

TEST_F(Controller, TheScrollBarsTellAScreenReaderWhatTheyAre)
{
    start();
    QSet<QString> names;
    for (QScrollBar *bar : {c->Scr_Time, c->Scr_change}) {
        QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(bar);
        ASSERT_NE(a11y, nullptr);
        const QString name = a11y->text(QAccessible::Name);
        EXPECT_FALSE(name.trimmed().isEmpty()) << bar->objectName().toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 2) << "the two bars must not sound alike";
}

TEST_F(Controller, WithNothingStartedOnlyPlayActs)
{
    const auto paths = songs(2);
    start(paths);
    m->SelectRowAsCurrent(1);
    c->Btn_Change->click();
    c->Btn_Stop->click();
    c->Btn_pauseClick(); // the button itself is disabled
    EXPECT_TRUE(device.calls.isEmpty());
    c->Btn_Play->click();
    EXPECT_EQ(device.openPath, paths[1]);
    EXPECT_EQ(state(), "Playing");
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(Controller, ForwardedButtonsFollowTheMainWindowsFlags)
{
    start(songs(3));
    c->Btn_Play->click();
    c->Btn_pause->click();
    EXPECT_EQ(state(), "Paused");
    const auto from = device.calls.size();
    c->Btn_pauseClick(); // main "Pau&se" is disabled now
    EXPECT_TRUE(callsSince(from).isEmpty());
    c->Btn_Next->click();
    EXPECT_EQ(m->SelectedRow(), 1);
    c->Btn_Back->click();
    EXPECT_EQ(m->SelectedRow(), 0);
    c->Btn_Stop->click();
    EXPECT_EQ(state(), "Idle");
}

TEST_F(Controller, DraggingTheSeekBarOnlyRewritesItsLabel)
{
    start(songs(1));
    Part<QPushButton>(*m, "Btn_Play")->click();
    FakeSequencer::advance(&device, 100);
    const auto from = device.calls.size();
    c->Scr_change->setValue(5000);
    EXPECT_EQ(c->Lbl_ToTime->text(), QStringLiteral("5000/10000"));
    EXPECT_TRUE(callsSince(from).isEmpty());
    EXPECT_EQ(device.position, 100);
}

TEST_F(Controller, ChangeContinuesFromTheChosenPlace)
{
    struct Case {
        const char *what;
        bool paused;
        int target;
        const char *calls;
    };
    const Case cases[] = {
        // A song stopped by the seek refuses Resume; the player plays on.
        {"while playing", false, 7000, "pause seek:7000 resume play"},
        {"while paused", true, 7000, "seek:7000 resume play"},
        {"at zero restarts", false, 0, "pause seek:0 resume play"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        start(songs(1));
        Part<QPushButton>(*m, "Btn_Play")->click();
        FakeSequencer::advance(&device, 4000);
        if (k.paused)
            Part<QPushButton>(*m, "Btn_pause")->click();
        c->Scr_change->setValue(k.target);
        const auto from = device.calls.size();
        c->Btn_Change->click();
        EXPECT_EQ(callsSince(from).join(u' '), QString::fromLatin1(k.calls));
        EXPECT_EQ(device.position, k.target);
        EXPECT_EQ(state(), "Playing");
        EXPECT_TRUE(c->Btn_pause->isEnabled());
        EXPECT_TRUE(messages.boxes.isEmpty());
    }
}

TEST_F(Controller, ChangeWhileHaltedLeavesTheClosedDeviceAloneAndPlays)
{
    halt();
    m->SelectRowAsCurrent(2);
    c->Scr_change->setValue(0);
    const auto from = device.calls.size();
    c->Btn_Change->click();
    EXPECT_TRUE(messages.boxes.isEmpty());
    EXPECT_FALSE(callsSince(from).join(u' ').contains(QStringLiteral("seek")));
    EXPECT_EQ(state(), "Playing");
    EXPECT_EQ(device.openPath, Playlist.Items[2].Path);
}

TEST_F(Controller, TheNextTickPutsADraggedPositionBarBack)
{
    start(songs(1));
    c->show();
    Part<QPushButton>(*m, "Btn_Play")->click();
    FakeSequencer::advance(&device, 2000);
    c->Scr_Time->setValue(9000);
    m->Tmr1Timer();
    EXPECT_EQ(c->Scr_Time->value(), 2000);
}

// Hidden, the controller is left alone by the tick; it shows the position as
// it comes back, before any tick, and again after being minimised.
TEST_F(Controller, AHiddenControllerIsBroughtUpToDateAsItComesBack)
{
    start(songs(1));
    Part<QPushButton>(*m, "Btn_Play")->click();
    FakeSequencer::advance(&device, 2000);
    m->Tmr1Timer();
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("Stopped"));
    Part<QAction>(*m, "Showcontroller1")->trigger();
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("2000/10000"));
    EXPECT_EQ(c->Scr_Time->value(), 2000);

    c->setWindowState(Qt::WindowMinimized);
    FakeSequencer::advance(&device, 1000);
    c->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("3000/10000"));
}

// Set on every tick, the position bar repaints only when its handle moves.
TEST_F(Controller, ThePositionBarRepaintsOnlyWhenItsHandleMoves)
{
    start();
    c->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c));
    c->Scr_Time->setRange(0, 600000); // ten minutes
    QCoreApplication::processEvents();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    c->Scr_Time->installEventFilter(&counter);
    for (int ms = 0; ms <= 2000; ms += 16) { // two seconds of ticks
        c->Scr_Time->setValue(ms);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(c->Scr_Time->value(), 2000);
    EXPECT_LE(counter.paints, 2);
    const int before = counter.paints;
    c->Scr_Time->setValue(300000);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, before + 1);
}

// Drawn from glyphs looked up once, the position reads pixel for pixel as a
// label that lays its text out anew.
TEST_F(Controller, ThePositionLabelLooksAsAPlainLabelWould)
{
    start();
    QLabel plain;
    plain.setFont(c->Lbl_time->font());
    plain.setAlignment(Qt::AlignCenter);
    plain.resize(c->Lbl_time->size());
    auto image = [](QWidget *label) {
        QImage out(label->size(), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::white);
        label->render(&out, {}, {}, QWidget::DrawChildren);
        return out;
    };
    for (const char *text : {"0/0", "16/183466", "1234567/9876543", "8/", "Stopped"}) {
        c->Lbl_time->setText(QString::fromLatin1(text));
        plain.setText(QString::fromLatin1(text));
        EXPECT_EQ(image(c->Lbl_time), image(&plain)) << text;
    }
}

TEST_F(Controller, StopClearsTheSeekLabelOnlyWhenTheSeekBarDrops)
{
    for (const int target : {0, 3000}) {
        SCOPED_TRACE(target);
        start(songs(1));
        Part<QPushButton>(*m, "Btn_Play")->click();
        c->Scr_change->setValue(target);
        Part<QPushButton>(*m, "Btn_Stop")->click();
        EXPECT_EQ(c->Lbl_ToTime->text(), target == 0 ? QStringLiteral("0/10000") : QStringLiteral("0/0"));
        EXPECT_EQ(c->Scr_change->maximum(), 0);
    }
}

// The position bar's maximum is set before the seek bar's.
TEST_F(Controller, ThePositionBarsMaximumIsSetBeforeTheSeekBars)
{
    start(songs(1));
    device.defaultLength = 4321;
    QStringList order;
    QObject context;
    for (QScrollBar *bar : {c->Scr_Time, c->Scr_change})
        QObject::connect(bar, &QScrollBar::rangeChanged, &context, [&order, bar](int, int max) {
            order << bar->objectName() + QLatin1Char(' ') + QString::number(max);
        });
    Part<QPushButton>(*m, "Btn_Play")->click();
    EXPECT_EQ(order, QStringList({QStringLiteral("Scr_Time 4321"), QStringLiteral("Scr_change 4321")}));
    order.clear();
    Part<QPushButton>(*m, "Btn_Stop")->click();
    EXPECT_EQ(order, QStringList({QStringLiteral("Scr_Time 0"), QStringLiteral("Scr_change 0")}));
}

TEST_F(Controller, ShowControllerCommandShowsHidesAndSizesThePositionBar)
{
    start(songs(1));
    Part<QAction>(*m, "Showcontroller1")->trigger();
    EXPECT_TRUE(c->isVisible());
    EXPECT_TRUE(Part<QAction>(*m, "Showcontroller1")->isChecked());
    EXPECT_EQ(c->Scr_Time->maximum(), 0);
    Part<QAction>(*m, "Showcontroller1")->trigger();
    EXPECT_FALSE(c->isVisible());
    EXPECT_FALSE(Part<QAction>(*m, "Showcontroller1")->isChecked());

    device.defaultLength = 4321;
    Part<QPushButton>(*m, "Btn_Play")->click();
    c->Scr_Time->setMaximum(0);
    Part<QAction>(*m, "Showcontroller1")->trigger();
    EXPECT_EQ(c->Scr_Time->maximum(), 4321);
}

TEST_F(Controller, PlaceAndVisibilityAreRestoredAndTheCloseBoxIsRemembered)
{
    storeFlag(QStringLiteral("Option"), QStringLiteral("ShowController"), true);
    store(QStringLiteral("Position"), QStringLiteral("CtrlTop"), 222);
    store(QStringLiteral("Position"), QStringLiteral("CtrlLeft"), 333);
    start();
    EXPECT_TRUE(c->isVisible());
    EXPECT_TRUE(Part<QAction>(*m, "Showcontroller1")->isChecked());
    QApplication::processEvents(); // the shown window's place comes back from the window system
    EXPECT_EQ(c->pos(), QPoint(333, 222));

    c->close();
    EXPECT_FALSE(c->isVisible());
    EXPECT_FALSE(Part<QAction>(*m, "Showcontroller1")->isChecked());
    EXPECT_TRUE(messages.boxes.isEmpty());

    c->move(40, 50);
    m->FormClose();
    SettingsStore s;
    EXPECT_FALSE(s.ReadFlagSetting(QStringLiteral("Option"), QStringLiteral("ShowController"), true));
    EXPECT_EQ(s.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("CtrlTop"), 0), 50);
    EXPECT_EQ(s.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("CtrlLeft"), 0), 40);
}

TEST_F(Controller, FirstRunPlacesTheHiddenControllerAtItsDefaults)
{
    start();
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(c->pos(), QPoint(176, 141));
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("Stopped"));
    EXPECT_EQ(c->Lbl_ToTime->text(), QStringLiteral("0/0"));
}

// An automatic playlist with "&Auto play": the main window starts the first
// entry, the controller's creation completes the start.
class AutoPlay : public Controller
{
protected:
    void prepare(const QList<QByteArray> &paths, bool english = true)
    {
        storeFlag(QStringLiteral("Option"), QStringLiteral("ListSave"), true);
        storeFlag(QStringLiteral("Option"), QStringLiteral("AutoPlay"), true);
        storeFlag(QStringLiteral("Option"), QStringLiteral("English"), english);
        QList<TQVTItem> items;
        for (const QByteArray &p : paths)
            items.append(TQVTItem{p});
        WriteQvtFile(ComputeProgramFolder() + "list.qvt", items);
    }
};

TEST_F(AutoPlay, TheTimerStartsOnlyWithTheController)
{
    const auto paths = songs(2);
    prepare(paths);
    device.defaultLength = 6000;
    w.main = std::make_unique<TFrm_main>(std::make_unique<FakeSequencer>(&device));
    w.main->FormCreate();
    EXPECT_EQ(device.calls, QStringList({QStringLiteral("open:") + QString::fromUtf8(paths[0]), QStringLiteral("play")}));
    EXPECT_FALSE(Part<QTimer>(*w.main, "Tmr1")->isActive());

    w.ctrl = std::make_unique<TFrm_ctrl>();
    QStringList order;
    QObject context;
    for (QScrollBar *bar : {w.ctrl->Scr_Time, w.ctrl->Scr_change})
        QObject::connect(bar, &QScrollBar::rangeChanged, &context,
                         [&order, bar] { order << bar->objectName(); });
    w.ctrl->FormCreate();
    m = w.main.get();
    c = w.ctrl.get();
    EXPECT_EQ(order, QStringList({QStringLiteral("Scr_Time"), QStringLiteral("Scr_change")}));
    EXPECT_EQ(state(), "Playing");
    EXPECT_EQ(c->Scr_Time->maximum(), 6000);
    EXPECT_EQ(c->Scr_change->maximum(), 6000);
    EXPECT_EQ(c->Lbl_ToTime->text(), QStringLiteral("0/6000"));
    EXPECT_TRUE(c->Btn_pause->isEnabled());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(AutoPlay, AControllerSettingOfTheWrongTypeIsReportedAndTheStartCompletes)
{
    prepare(songs(1));
    {
        QSettings raw(SettingsStore::FilePath(), QSettings::IniFormat);
        raw.setValue(QStringLiteral("Position/CtrlTop"), QStringList({QStringLiteral("1"), QStringLiteral("2")}));
    }
    start();
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("'CtrlTop' のデータ型が不正です."));
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(state(), "Playing");
    EXPECT_TRUE(c->Btn_pause->isEnabled());
}

TEST_F(AutoPlay, AMissingFirstFileEndsInErrorC1WithoutTimerOrJapaneseCaptions)
{
    const QByteArray gone = song("gone.mid", false);
    prepare({gone, song("b.mid")}, false);
    start();
    const QString path = QString::fromUtf8(gone);
    const QString missing = Part<QAction>(*m, "English1")->isChecked() ? QStringLiteral("Bad file name : ") + path
                                                     : path + QStringLiteral("が見つかりません");
    EXPECT_EQ(messages.texts(), QStringList({missing, QStringLiteral("Error(c-1)")}));
    EXPECT_EQ(messages.boxes.last().caption, QStringLiteral("error"));
    EXPECT_FALSE(Part<QTimer>(*m, "Tmr1")->isActive());
    EXPECT_EQ(c->Scr_Time->maximum(), 0);
    const std::pair<QPushButton *, const char *> captions[] = {
        {c->Btn_Play, "&Play"},       {c->Btn_pause, "Paus&e"}, {c->Btn_Stop, "&Stop"},
        {c->Btn_Change, "&Change!"}, {c->Btn_Back, "<-&Back"}, {c->Btn_Next, "&Next->"}};
    for (const auto &[button, caption] : captions)
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
}

TEST_F(Controller, TheMarkerIsADownwardTriangleUnderThePositionBar)
{
    start();
    const QImage image = c->grab().toImage();
    const QRgb window = c->palette().color(QPalette::Window).rgb();
    auto black = [&](int x, int y) { return image.pixel(x, y) == qRgb(0, 0, 0); };
    for (const QPoint corner : {QPoint(90, 56), QPoint(102, 56), QPoint(96, 65), QPoint(96, 56)})
        EXPECT_TRUE(black(corner.x(), corner.y())) << corner.x() << "," << corner.y();
    EXPECT_EQ(image.pixel(96, 60), window);
    // Each row of the outline has black at its two slanted edges only.
    for (int y = 57; y < 65; ++y) {
        int count = 0;
        for (int x = 80; x < 112; ++x)
            count += black(x, y);
        EXPECT_GE(count, 1) << y;
        EXPECT_LE(count, 4) << y;
        EXPECT_FALSE(black(89, y) || black(103, y)) << y;
    }
    for (int x = 80; x < 112; ++x)
        EXPECT_FALSE(black(x, 55) || black(x, 66)) << x;
}

} // namespace
