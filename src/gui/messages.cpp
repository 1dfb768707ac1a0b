#include "gui/messages.h"

#include "core/appinfo.h"

#include <QApplication>
#include <QPointer>

#include <exception>
#include <utility>
#include <vector>

namespace {
MessageHook g_hook;
QPointer<QWidget> g_owner;
QString g_applicationTitle = ApplicationName();

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

void SetMessageOwner(QWidget *owner)
{
    g_owner = owner;
    if (g_owner)
        g_owner->setWindowIconText(EscapeTitlePlaceholder(g_applicationTitle));
}

QMessageBox::StandardButton ShowMessage(const MessageRequest &request)
{
    if (g_hook)
        return g_hook(request);
    QMessageBox box(toQtIcon(request.icon), EscapeTitlePlaceholder(request.caption), request.text, request.buttons,
                    g_owner.data());
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
    if (g_owner)
        g_owner->setWindowIconText(EscapeTitlePlaceholder(title));
}

QString EscapeTitlePlaceholder(const QString &text)
{
    QString escaped = text;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return escaped;
}

namespace {
void runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        ShowToolkitError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowToolkitError(QStringLiteral("Unknown error"));
    }
}
} // namespace

void Dispatch(const std::function<void()> &handler)
{
    runGuarded(handler);
}
