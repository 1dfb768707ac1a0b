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

// Sets the window's title, `title` as it is to be shown (a "[*]" in it is
// text), without the program hearing of it: from the first call on, the
// window's property changes are heard on a connection and a thread of their
// own, which pass every change but the title texts on to Qt. Neither the
// program's own title writes nor a window manager's copies of the title then
// wake the program; a title that changes on every tick costs no wake-up beyond
// the tick's own. The title's properties are written in one request each,
// and windowTitle() follows once the title has stayed the same for a moment.
// For one window in the program's life.
void SetTitleQuietly(QWidget *window, const QString &title);

// While one lives, the title's writes wait in the connection's buffer; they go
// to the display with the next repaint's flush, or as the last batch ends.
// One write to the display instead of one for each.
class DisplayBatch
{
public:
    DisplayBatch();
    ~DisplayBatch();
    DisplayBatch(const DisplayBatch &) = delete;
    DisplayBatch &operator=(const DisplayBatch &) = delete;
};
