#include "gui/messages.h"

#include "core/appinfo.h"

#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <exception>
#include <utility>
#include <vector>

namespace {
MessageHook g_hook;
bool g_toStandardError = false;
// Longer lines (a path of 100,000 characters) would take the box seconds to
// lay out, and no one reads them there.
constexpr int LongestShownLine = 300;
constexpr int LongestDetailedLine = 65536;
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

void SetMessagesToStandardError(bool on)
{
    g_toStandardError = on;
}

QString ElideLongLines(const QString &text, int longest)
{
    if (text.size() <= longest)
        return text;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.size() > longest) {
            const qsizetype head = longest / 2 - 1;
            const qsizetype tail = longest - head - 1;
            line = line.left(head) + QChar(0x2026) + line.right(tail);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

QMessageBox::StandardButton ShowMessage(const MessageRequest &request)
{
    if (g_toStandardError) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(request.caption), qUtf8Printable(request.text));
        // Nothing is asked: the answer that changes the least.
        for (const QMessageBox::StandardButton answer : {QMessageBox::Ok, QMessageBox::No, QMessageBox::Cancel}) {
            if (request.buttons & answer)
                return answer;
        }
        return QMessageBox::NoButton;
    }
    if (g_hook)
        return g_hook(request);
    const QString shown = ElideLongLines(request.text, LongestShownLine);
    QMessageBox box(toQtIcon(request.icon), EscapeTitlePlaceholder(request.caption), shown, request.buttons,
                    g_owner.data());
    box.setObjectName(QStringLiteral("MessageBox"));
    // The whole text stays at hand, within what a text view shows quickly.
    if (shown != request.text)
        box.setDetailedText(ElideLongLines(request.text, LongestDetailedLine));
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
