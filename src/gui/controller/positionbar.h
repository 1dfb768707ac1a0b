// A scroll bar that repaints for a new value only when its handle moves. The
// position bar is set on every tick, and most ticks move the handle by less
// than a pixel; painting a scroll bar is not cheap (the style's drawing goes
// through Qt's thread pool), while what it draws depends on the handle's
// place alone.
#pragma once

#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

class PositionBar : public QScrollBar
{
public:
    PositionBar(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent) {}

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderValueChange && handleRect() == m_painted)
            return;
        QScrollBar::sliderChange(change);
    }

    void paintEvent(QPaintEvent *event) override
    {
        m_painted = handleRect();
        QScrollBar::paintEvent(event);
    }

private:
    QRect handleRect() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    }

    // Where the handle was when the bar was last painted; none before that.
    QRect m_painted;
};
