#include "gui/helpwindow.h"

#include "gui/windowplacement.h"

#include <QScreen>

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
    // The first time, wholly on the screen of the window it belongs to; after
    // that where the person put it.
    if (!m_placed && parentWidget()) {
        const QWidget *over = parentWidget()->window();
        const QScreen *screen = over->screen();
        if (screen) {
            // Not shown yet, it has no frame: it will get one like its owner's.
            const QSize frameExtra = over->frameGeometry().size() - over->geometry().size();
            const QRect frame = PlaceWhollyOnScreen(size() + frameExtra, over->frameGeometry(), screen->availableGeometry());
            move(frame.topLeft());
            resize(frame.size() - frameExtra);
        }
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
}
