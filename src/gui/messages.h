// The one way the program shows a message box, the application title, and
// the dispatcher that keeps exceptions from escaping a handler.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

enum class MsgIcon { None, Information, Warning, Error, Question };

struct MessageRequest {
    QString caption;
    QString text;
    MsgIcon icon = MsgIcon::None;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// Tests install a hook that records the request and answers it; with no hook
// a real modal QMessageBox is shown.
using MessageHook = std::function<QMessageBox::StandardButton(const MessageRequest &)>;
void SetMessageHook(MessageHook hook);

// The window that owns the boxes (their parent) and carries the application
// title as its icon text; nullptr: none.
void SetMessageOwner(QWidget *owner);

// Shows the box; lines longer than a person reads are shortened in the middle,
// the whole text kept in the box's details.
QMessageBox::StandardButton ShowMessage(const MessageRequest &request);

// While the program ends without asking (the desktop told it to end), boxes
// are written to standard error instead, answered with OK (else No, else
// Cancel).
void SetMessagesToStandardError(bool on);

// `text` with every line longer than `longest` characters shortened to it by
// an ellipsis in its middle.
QString ElideLongLines(const QString &text, int longest);

// The program's own boxes: caption "error", one OK button, no icon.
void ShowErrorMessage(const QString &text);

// The toolkit's default error report: the text with a full stop added (unless
// it already ends with one), the application title as caption, an error icon.
void ShowToolkitError(const QString &text);

// The application title (the task-bar text): the owner's icon text, and the
// caption of the toolkit's error box.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// Qt reads "[*]" in a window title or icon text as the modified-state
// placeholder and drops it; doubling it makes the text show as it stands.
QString EscapeTitlePlaceholder(const QString &text);

// Runs a handler; any exception it throws is reported with ShowToolkitError
// and goes no further.
void Dispatch(const std::function<void()> &handler);

// Connects a signal to a member handler through Dispatch.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection ConnectHandler(Sender *sender, Signal signal, Receiver *receiver, Handler handler)
{
    return QObject::connect(sender, signal, receiver,
                            [receiver, handler] { Dispatch([&] { (receiver->*handler)(); }); });
}
