#include "gui/designfont.h"

#include <QString>

QFont DesignFont()
{
    static const QString family = [] {
        const QString name = QStringLiteral("ＭＳ Ｐゴシック");
        // Only used where the family itself is missing: a system that has
        // the design's font keeps it.
        QFont::insertSubstitution(name, QStringLiteral("IPAPGothic"));
        return name;
    }();
    QFont font(family);
    font.setPixelSize(12);
    return font;
}
