#include "gui/helpwindow.h"

HelpWindow::HelpWindow(QWidget *parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Quavette Help"));
    setOpenExternalLinks(false);
    resize(640, 520);
}

void HelpWindow::showContents(bool japanese)
{
    setSource(QUrl(japanese ? QStringLiteral("qrc:/help/manual_ja.html") : QStringLiteral("qrc:/help/manual_en.html")));
    show();
    raise();
    activateWindow();
}
