// The pictures of the file pane: the desktop theme's icons, with small
// built-in fallbacks under :/icons/.
#pragma once

#include <QIcon>
#include <QString>

enum class BrowserPicture {
    Floppy,        // removable drive
    Hard,          // fixed drive
    Network,       // remote drive
    CdRom,
    Ram,
    OpenFolder,    // the root and the folders on the path
    CurrentFolder,
    ClosedFolder,  // a subfolder of the current folder
};

// The same icon object for every call, so lines can be compared by picture.
QIcon BrowserIcon(BrowserPicture picture);

// What the picture tells a sighted user, for screen readers: the line's
// accessible description.
QString BrowserPictureDescription(BrowserPicture picture);
