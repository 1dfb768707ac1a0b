// What the program asks of the X server directly, where Qt offers no call.
// On other platforms each does only the portable part, if any.
#pragma once

class QString;
class QWidget;

// Asks the window manager to give the tool window `window` a title bar whose
// only button is the close box. Window managers that ignore the Motif hints
// for minimise (openbox among them) leave those buttons off a torn-off
// toolbar; the others read the utility type given after it. Called before
// each map, as the window manager reads the type then.
void OfferOnlyTheCloseBox(QWidget *window);

// Sets the window's title without the X server telling this program of the
// change: the title properties are written while the window does not listen
// to property changes, with the server grabbed so that no other client's
// change goes unheard meanwhile. A title that changes on every tick then
// costs no wake-up of its own.
void SetTitleQuietly(QWidget *window, const QString &title);
