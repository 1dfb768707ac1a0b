// Playlist editing: placeholder bodies until the editing commands land.
#include "app/tfrm_main.h"

void TFrm_main::Btn_addClick() {}
void TFrm_main::Add1Click() {}
void TFrm_main::Btn_deleteClick() {}
void TFrm_main::Delete1Click() {}
void TFrm_main::Btn_clearClick() {}
void TFrm_main::Clear1Click() {}
void TFrm_main::ClearClick() {}
void TFrm_main::Btn_UpClick() {}
void TFrm_main::Up1Click() {}
void TFrm_main::UpClick() {}
void TFrm_main::Btn_DownClick() {}
void TFrm_main::Down1Click() {}
void TFrm_main::DownClick() {}
void TFrm_main::FileListBoxDblClick() {}
void TFrm_main::VMusicListKeyUp() {}
void TFrm_main::VMusicListMouseDown() {}
void TFrm_main::wireEditingHandlers() {}
