#include "gui/messages.h"

#include "gui/mainwindow/tfrm_main.h"

#include <QApplication>

#include <exception>

namespace {
MessageHook g_hook;
int g_openBoxes = 0;
QString g_applicationTitle = QStringLiteral("Quavette");

QMessageBox::Icon toQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void SetMessageHook(MessageHook hook)
{
    g_hook = std::move(hook);
}

bool MessageBoxOpen()
{
    return g_openBoxes > 0;
}

QMessageBox::StandardButton ShowMessage(const MessageRequest &request)
{
    struct OpenGuard {
        OpenGuard() { ++g_openBoxes; }
        ~OpenGuard() { --g_openBoxes; }
    } guard;
    if (g_hook)
        return g_hook(request);
    QMessageBox box(toQtIcon(request.icon), EscapeTitlePlaceholder(request.caption), request.text, request.buttons,
                    Frm_main ? static_cast<QWidget *>(Frm_main) : nullptr);
    box.setObjectName(QStringLiteral("MessageBox"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorMessage(const QString &text)
{
    ShowMessage({QStringLiteral("error"), text, MsgIcon::None, QMessageBox::Ok});
}

void ShowToolkitError(const QString &text)
{
    QString shown = text;
    if (!shown.endsWith(QLatin1Char('.')))
        shown += QLatin1Char('.');
    ShowMessage({ApplicationTitle(), shown, MsgIcon::Error, QMessageBox::Ok});
}

QString ApplicationTitle()
{
    return g_applicationTitle;
}

void SetApplicationTitle(const QString &title)
{
    g_applicationTitle = title;
    if (Frm_main)
        Frm_main->setWindowIconText(EscapeTitlePlaceholder(title));
}

QString EscapeTitlePlaceholder(const QString &text)
{
    QString escaped = text;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return escaped;
}

void Dispatch(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        ShowToolkitError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowToolkitError(QStringLiteral("Unknown error"));
    }
}
