#include "gui/controller/timelabel.h"

#include <QGlyphRun>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <algorithm>

namespace {
const QString Drawn = QStringLiteral("0123456789/");

int drawnIndex(QChar c)
{
    return c == QLatin1Char('/') ? 10 : (c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : -1);
}
} // namespace

bool TimeLabel::prepared()
{
    if (m_tried)
        return !m_glyphs.isEmpty();
    m_tried = true;
    // The glyphs and advances the text layout would give these characters,
    // one at a time, and the line's height and ascent.
    QTextLayout layout(Drawn, font());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs[0].glyphIndexes().size() != Drawn.size())
        return false;
    const QGlyphRun &run = runs[0];
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < positions.size(); ++i) {
        const qreal next = i + 1 < positions.size() ? positions[i + 1].x() : line.horizontalAdvance();
        m_advances.append(next - positions[i].x());
    }
    m_font = run.rawFont();
    m_ascent = line.ascent();
    m_height = line.height();
    m_glyphs = run.glyphIndexes();
    return true;
}

void TimeLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = text();
    const bool plain = alignment() == Qt::AlignCenter && margin() == 0 && indent() < 0 && frameWidth() == 0
                       && isEnabled() && !shown.isEmpty()
                       && std::all_of(shown.begin(), shown.end(), [](QChar c) { return drawnIndex(c) >= 0; });
    if (!plain || !prepared()) {
        QLabel::paintEvent(event);
        return;
    }
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(shown.size());
    positions.reserve(shown.size());
    qreal width = 0;
    for (QChar c : shown) {
        const int i = drawnIndex(c);
        glyphs.append(m_glyphs[i]);
        positions.append(QPointF(width, 0));
        width += m_advances[i];
    }
    QGlyphRun run;
    run.setRawFont(m_font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    // Centred as the style centres a label's text.
    const QRect area = contentsRect();
    const QPointF origin(area.x() + (area.width() - width) / 2,
                         area.y() + (area.height() - m_height) / 2 + m_ascent);
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawGlyphRun(origin, run);
}

void TimeLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_tried = false;
        m_glyphs.clear();
        m_advances.clear();
    }
    QLabel::changeEvent(event);
}
