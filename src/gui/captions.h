// The interface language: the caption tables of both windows, English and
// Japanese. Every caption of a control lives here, once.
#pragma once

#include <QString>

class QWidget;

enum class Language { English, Japanese };

// The main window's menu items and buttons, found by object name. The
// captions a window is created with are the English ones, but for the main
// pause and stop buttons, which start with other accelerators.
void ApplyMainCaptions(QWidget &main, Language language);
void ApplyMainCreationCaptions(QWidget &main);
// The controller's six buttons.
void ApplyControllerCaptions(QWidget &ctrl, Language language);
// The playlist view's column 0 ("File name") or 1 ("Path").
QString ColumnCaption(int column, Language language);
