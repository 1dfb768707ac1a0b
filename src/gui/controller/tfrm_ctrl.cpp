#include "gui/controller/tfrm_ctrl.h"

#include "core/playlist.h"
#include "core/settingsstore.h"
#include "device/tmediaplayer.h"
#include "gui/captions.h"
#include "gui/controller/positionbar.h"
#include "gui/controller/timelabel.h"
#include "gui/designfont.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/windowplacement.h"
#include "gui/x11window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

TFrm_ctrl *Frm_ctrl = nullptr;

namespace {
// Captions come from the caption tables once every button exists.
QPushButton *makeButton(QWidget *parent, const char *name, int left, int top, int width)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, width, 17);
    return button;
}

QScrollBar *makeScrollBar(QWidget *parent, const char *name, int top, int smallChange, int largeChange)
{
    auto *bar = new PositionBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(0, top, 193, 17);
    bar->setRange(0, 0);
    bar->setValue(0);
    bar->setSingleStep(smallChange);
    bar->setPageStep(largeChange);
    // Qt's scroll bars take no focus by default; these are tab stops, and
    // the keyboard is the only way to seek without a mouse.
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new TimeLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, top, 193, 17);
    // Of a fixed size, a label's new text asks its window for no new layout.
    label->setFixedSize(193, 17);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

TFrm_ctrl::TFrm_ctrl(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Frm_ctrl"));
    setWindowTitle(QStringLiteral("Controller"));
    setFixedSize(196, 165);
    move(174, 144);
    setFont(DesignFont());

    // Tab order is creation order.
    Scr_Time = makeScrollBar(this, "Scr_Time", 32, 500, 1000);
    Scr_Time->setAccessibleName(QStringLiteral("Position"));
    Btn_Play = makeButton(this, "Btn_Play", 0, 144, 57);
    Btn_pause = makeButton(this, "Btn_pause", 64, 144, 65);
    Btn_pause->setEnabled(false);
    Btn_Stop = makeButton(this, "Btn_Stop", 136, 144, 57);
    Scr_change = makeScrollBar(this, "Scr_change", 96, 1, 100);
    Scr_change->setAccessibleName(QStringLiteral("Seek target"));
    Btn_Change = makeButton(this, "Btn_Change", 64, 120, 65);
    Btn_Next = makeButton(this, "Btn_Next", 136, 120, 57);
    Btn_Back = makeButton(this, "Btn_Back", 0, 120, 57);
    Lbl_time = makeLabel(this, "Lbl_time", QStringLiteral("Stopped"), 0, 8);
    Lbl_ToTime = makeLabel(this, "Lbl_ToTime", QStringLiteral("0/0"), 3, 72);
    for (QWidget *w : {static_cast<QWidget *>(Lbl_time), static_cast<QWidget *>(Lbl_ToTime)})
        w->setFocusPolicy(Qt::NoFocus);
    ApplyControllerCaptions(*this, Language::English);

    ConnectHandler(Btn_Play, &QPushButton::clicked, this, &TFrm_ctrl::Btn_PlayClick);
    ConnectHandler(Btn_pause, &QPushButton::clicked, this, &TFrm_ctrl::Btn_pauseClick);
    ConnectHandler(Btn_Stop, &QPushButton::clicked, this, &TFrm_ctrl::Btn_StopClick);
    ConnectHandler(Btn_Change, &QPushButton::clicked, this, &TFrm_ctrl::Btn_ChangeClick);
    ConnectHandler(Btn_Next, &QPushButton::clicked, this, &TFrm_ctrl::Btn_NextClick);
    ConnectHandler(Btn_Back, &QPushButton::clicked, this, &TFrm_ctrl::Btn_BackClick);
    ConnectHandler(Scr_change, &QScrollBar::valueChanged, this, &TFrm_ctrl::Scr_changeChange);
    // The position bar shows the song's position: moved by hand while the
    // tick sleeps (paused), the next tick puts it back.
    connect(Scr_Time, &QScrollBar::actionTriggered, this, [] {
        if (Frm_main)
            Frm_main->wakeTick();
    });

    Frm_ctrl = this;
}

TFrm_ctrl::~TFrm_ctrl()
{
    if (Frm_ctrl == this)
        Frm_ctrl = nullptr;
}

void TFrm_ctrl::FormCreate()
{
    // A settings error is reported on its own; the completion of an
    // auto-play start below must still get its timer.
    Dispatch([this] {
        SettingsStore store;
        if (store.ReadFlagSetting(Settings::ShowController))
            Frm_main->showControllerAtStart();
        const int top = store.ReadIntSetting(Settings::CtrlTop);
        const int left = store.ReadIntSetting(Settings::CtrlLeft);
        m_readPlace = QPoint(left, top);
        // Wayland has no "stay on top"; a transient window stays above the
        // window it belongs to.
        KeepAboveOwner(this, Frm_main);
        SetPlace(UsableBoundsOnScreens(left, top, width(), height(), size()).topLeft());
    });

    try {
        // The main window's creation started the first entry without the
        // timer; with no song open, Length fails and the timer stays off.
        if (Frm_main->autoPlay() && !Playlist.Items.isEmpty()) {
            ShowSongLength(Frm_main->length());
            SetPauseEnabled(true);
            Scr_changeChange();
            Frm_main->startPolling();
        }
        if (Frm_main->language() == Language::Japanese)
            ApplyControllerCaptions(*this, Language::Japanese);
    } catch (...) {
        ShowErrorMessage(QStringLiteral("Error(c-1)"));
    }
}

void TFrm_ctrl::ShowSongLength(int length)
{
    Scr_Time->setMaximum(length);
    Scr_change->setMaximum(length);
}

void TFrm_ctrl::ShowPositionMaximum(int length)
{
    Scr_Time->setMaximum(length);
}

void TFrm_ctrl::ShowLoadedSong(int length)
{
    ShowSongLength(length);
    Scr_changeChange();
    SetPauseEnabled(true);
}

void TFrm_ctrl::ShowStopped()
{
    // Dropping the seek bar's maximum may clip its position, which rewrites
    // the seek label through its change handler.
    ShowSongLength(0);
    Lbl_time->setText(QStringLiteral("Stopped"));
}

void TFrm_ctrl::ShowPosition(int position, int length)
{
    Scr_Time->setValue(position);
    const QString text = QString::number(position) + QLatin1Char('/') + QString::number(length);
    if (Lbl_time->text() == text)
        return;
    Lbl_time->setText(text);
    // Painted now, not when the event loop comes round to it: the tick's
    // title goes to the display in the same write.
    Lbl_time->repaint();
}

void TFrm_ctrl::SetPauseEnabled(bool enabled)
{
    Btn_pause->setEnabled(enabled);
}

QPoint TFrm_ctrl::Place() const
{
    return WindowPlacesAreKnown() ? pos() : m_readPlace;
}

void TFrm_ctrl::SetPlace(const QPoint &place)
{
    // Right after show() the frame is not known yet, and move() would put the
    // client area there, a title bar off; the window's frame position goes to
    // the window manager as the frame's.
    if (isVisible() && windowHandle())
        windowHandle()->setFramePosition(place);
    else
        move(place);
}

void TFrm_ctrl::FormClose()
{
    // The window is only hidden; the close event is accepted by the caller.
    Frm_main->controllerClosed();
}

void TFrm_ctrl::Btn_PlayClick()
{
    Frm_main->play();
}

void TFrm_ctrl::Btn_pauseClick()
{
    Frm_main->pause();
}

void TFrm_ctrl::Btn_StopClick()
{
    Frm_main->stop();
}

void TFrm_ctrl::Btn_NextClick()
{
    Frm_main->next();
}

void TFrm_ctrl::Btn_BackClick()
{
    Frm_main->back();
}

void TFrm_ctrl::Btn_ChangeClick()
{
    if (Frm_main->state() == PlayerState::Idle)
        return;
    Btn_pauseClick();
    // Halted: no song is open to take the position; Play starts the
    // selected entry from its beginning instead.
    Frm_main->seek(Scr_change->value());
    Btn_PlayClick();
}

void TFrm_ctrl::ChangeTo(int ms)
{
    Scr_change->setValue(ms);
    Btn_ChangeClick();
}

void TFrm_ctrl::Scr_changeChange()
{
    Lbl_ToTime->setText(QString::number(Scr_change->value()) + QLatin1Char('/')
                        + QString::number(Scr_change->maximum()));
}

void TFrm_ctrl::paintEvent(QPaintEvent *event)
{
    // The position label repaints on every tick, the window under it too;
    // the marker lies clear of it.
    if (event->region().intersects(MarkerBounds))
        FormPaint();
}

void TFrm_ctrl::FormPaint()
{
    // A small downward triangle under the position bar, pointing at the seek
    // label: a one-pixel black outline around the window's own colour.
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(palette().color(backgroundRole()));
    const QPoint outline[] = {{90, 56}, {102, 56}, {96, 65}};
    painter.drawPolygon(outline, 3);
}

void TFrm_ctrl::showEvent(QShowEvent *event)
{
    OfferOnlyTheCloseBox(this);
    QWidget::showEvent(event);
    if (Frm_main)
        Frm_main->controllerOnScreen();
}

void TFrm_ctrl::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Restored by the window manager: the tick dozes while nothing shows
    // the position.
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isVisible() && Frm_main)
        Frm_main->controllerOnScreen();
}

void TFrm_ctrl::closeEvent(QCloseEvent *event)
{
    Dispatch([this] { FormClose(); });
    event->accept();
}
