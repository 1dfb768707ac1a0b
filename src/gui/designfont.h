// The one font both windows are drawn in.
#pragma once

#include <QFont>

// "ＭＳ Ｐゴシック" at 12 pixels. fontconfig does not know that family here and
// would draw Latin text in DejaVu Sans and Japanese in another font, wider
// than the buttons allow; the proportional IPA Gothic stands in for it, so
// both scripts come from one font whose widths match the design's.
QFont DesignFont();
