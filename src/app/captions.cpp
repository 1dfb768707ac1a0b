#include "app/captions.h"

void ApplyControllerCaptions(TFrm_ctrl &, Language) {}
void ApplyMainCaptions(TFrm_main &, Language) {}
