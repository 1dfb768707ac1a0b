// Options, language, help and about: placeholder bodies until they land.
#include "app/tfrm_main.h"

void TFrm_main::English1Click() {}
void TFrm_main::Japanese1Click() {}
void TFrm_main::N6Click() {}
void TFrm_main::Autoplay1Click() {}
void TFrm_main::showposition1Click() {}
void TFrm_main::Help2Click() {}
void TFrm_main::About1Click() {}
