#include "playback/tfrm_ctrl.h"

#include "app/messages.h"
#include "app/tfrm_main.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

TFrm_ctrl *Frm_ctrl = nullptr;

namespace {
QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, int left, int top,
                        int width)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, width, 17);
    return button;
}

QScrollBar *makeScrollBar(QWidget *parent, const char *name, int top, int smallChange, int largeChange)
{
    auto *bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(0, top, 193, 17);
    bar->setRange(0, 0);
    bar->setValue(0);
    bar->setSingleStep(smallChange);
    bar->setPageStep(largeChange);
    return bar;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, top, 193, 17);
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
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    // Tab order is creation order.
    Scr_Time = makeScrollBar(this, "Scr_Time", 32, 500, 1000);
    Scr_Time->setAccessibleName(QStringLiteral("Position"));
    Btn_Play = makeButton(this, "Btn_Play", QStringLiteral("&Play"), 0, 144, 57);
    Btn_pause = makeButton(this, "Btn_pause", QStringLiteral("Paus&e"), 64, 144, 65);
    Btn_pause->setEnabled(false);
    Btn_Stop = makeButton(this, "Btn_Stop", QStringLiteral("&Stop"), 136, 144, 57);
    Scr_change = makeScrollBar(this, "Scr_change", 96, 1, 100);
    Scr_change->setAccessibleName(QStringLiteral("Seek target"));
    Btn_Change = makeButton(this, "Btn_Change", QStringLiteral("&Change!"), 64, 120, 65);
    Btn_Next = makeButton(this, "Btn_Next", QStringLiteral("&Next->"), 136, 120, 57);
    Btn_Back = makeButton(this, "Btn_Back", QStringLiteral("<-&Back"), 0, 120, 57);
    Lbl_time = makeLabel(this, "Lbl_time", QStringLiteral("Stopped"), 0, 8);
    Lbl_ToTime = makeLabel(this, "Lbl_ToTime", QStringLiteral("0/0"), 3, 72);
    for (QWidget *w : {static_cast<QWidget *>(Lbl_time), static_cast<QWidget *>(Lbl_ToTime)})
        w->setFocusPolicy(Qt::NoFocus);

    ConnectHandler(Btn_Play, &QPushButton::clicked, this, &TFrm_ctrl::Btn_PlayClick);
    ConnectHandler(Btn_pause, &QPushButton::clicked, this, &TFrm_ctrl::Btn_pauseClick);
    ConnectHandler(Btn_Stop, &QPushButton::clicked, this, &TFrm_ctrl::Btn_StopClick);
    ConnectHandler(Btn_Change, &QPushButton::clicked, this, &TFrm_ctrl::Btn_ChangeClick);
    ConnectHandler(Btn_Next, &QPushButton::clicked, this, &TFrm_ctrl::Btn_NextClick);
    ConnectHandler(Btn_Back, &QPushButton::clicked, this, &TFrm_ctrl::Btn_BackClick);
    ConnectHandler(Scr_change, &QScrollBar::valueChanged, this, &TFrm_ctrl::Scr_changeChange);

    Frm_ctrl = this;
}

TFrm_ctrl::~TFrm_ctrl()
{
    if (Frm_ctrl == this)
        Frm_ctrl = nullptr;
}

void TFrm_ctrl::FormCreate()
{
}

void TFrm_ctrl::FormClose()
{
}

void TFrm_ctrl::Btn_PlayClick()
{
}

void TFrm_ctrl::Btn_pauseClick()
{
}

void TFrm_ctrl::Btn_StopClick()
{
}

void TFrm_ctrl::Btn_NextClick()
{
}

void TFrm_ctrl::Btn_BackClick()
{
}

void TFrm_ctrl::Btn_ChangeClick()
{
}

void TFrm_ctrl::Scr_changeChange()
{
}

void TFrm_ctrl::paintEvent(QPaintEvent *)
{
    FormPaint();
}

void TFrm_ctrl::FormPaint()
{
}

void TFrm_ctrl::closeEvent(QCloseEvent *event)
{
    Dispatch([this] { FormClose(); });
    event->accept();
}
