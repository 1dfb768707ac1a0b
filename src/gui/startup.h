// Creating the two windows in start-up order.
#pragma once

#include <memory>

class ISequencer;
class TFrm_main;
class TFrm_ctrl;

struct AppWindows {
    std::unique_ptr<TFrm_main> main;
    std::unique_ptr<TFrm_ctrl> ctrl;
    AppWindows() = default;
    AppWindows(AppWindows &&) = default;
    AppWindows &operator=(AppWindows &&) = default;
    ~AppWindows(); // the controller goes first
};

// The main window and its creation handler, then the controller and its
// creation handler. `sequencer`: nullptr for the real one.
AppWindows CreateAppWindows(std::unique_ptr<ISequencer> sequencer = nullptr);
