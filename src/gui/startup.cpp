#include "gui/startup.h"

#include "gui/mainwindow/tfrm_main.h"
#include "device/sequencer.h"
#include "gui/controller/tfrm_ctrl.h"

AppWindows::~AppWindows()
{
    ctrl.reset();
    main.reset();
}

AppWindows CreateAppWindows(std::unique_ptr<ISequencer> sequencer)
{
    AppWindows windows;
    windows.main = std::make_unique<TFrm_main>(std::move(sequencer));
    windows.main->FormCreate();
    windows.ctrl = std::make_unique<TFrm_ctrl>();
    windows.ctrl->FormCreate();
    return windows;
}
