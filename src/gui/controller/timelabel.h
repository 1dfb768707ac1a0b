// A label whose text changes on every tick: a position in ms over a length.
// A QLabel lays its text out and shapes it anew on every paint; this one
// draws digits and the slash from glyphs looked up once for its font, at the
// places a QLabel would give them. Any other text is painted as QLabel
// paints it.
#pragma once

#include <QLabel>
#include <QList>
#include <QPointF>
#include <QRawFont>

class TimeLabel : public QLabel
{
public:
    TimeLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {}

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool prepared();

    bool m_tried = false;
    QRawFont m_font;
    QList<quint32> m_glyphs;  // '0' to '9', then '/'
    QList<qreal> m_advances;  // of the same
    qreal m_ascent = 0;
    qreal m_height = 0;
};
