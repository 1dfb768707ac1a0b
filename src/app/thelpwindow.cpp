#include "app/thelpwindow.h"

THelpWindow::THelpWindow(QWidget *parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Quavette Help"));
    setOpenExternalLinks(false);
    resize(640, 520);
}

void THelpWindow::showContents(bool japanese)
{
    setSource(QUrl(japanese ? QStringLiteral("qrc:/help/manual_ja.html") : QStringLiteral("qrc:/help/manual_en.html")));
    show();
    raise();
    activateWindow();
}
