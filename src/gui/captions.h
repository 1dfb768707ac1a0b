// The interface language: the caption tables of both windows, English and
// Japanese, and the one routine that applies them.
#pragma once

#include <QString>

class TFrm_main;
class TFrm_ctrl;

enum class Language { English, Japanese };

// The controller's six button captions.
void ApplyControllerCaptions(TFrm_ctrl &ctrl, Language language);
// The main window's menu items, buttons, popup items and columns.
void ApplyMainCaptions(TFrm_main &main, Language language);
