// The help window: the program's manual, built into its resources.
#pragma once

#include <QTextBrowser>

class HelpWindow : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);
    // Shows the manual's contents page in the chosen language.
    void showContents(bool japanese);

private:
    bool m_placed = false;
};
