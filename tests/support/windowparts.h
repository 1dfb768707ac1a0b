// Tests reach a window's controls as people and screen readers name them:
// by object name. The main window keeps its widgets to itself.
#pragma once

#include "gui/mainwindow/tfrm_main.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"
#include "gui/widgets/splitterhandle.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>
#include <string>

template <class T>
T *Part(const QObject &window, const char *name)
{
    T *part = window.findChild<T *>(QString::fromLatin1(name));
    if (!part)
        throw std::logic_error(std::string("no control named ") + name);
    return part;
}

// The playback tick is active but asleep: its next tick is far away.
inline bool TickAsleep(const TFrm_main &main)
{
    const QTimer *tick = Part<QTimer>(main, "Tmr1");
    return tick->isActive() && tick->interval() > TFrm_main::TickMs;
}
