// The help window: the program's manual, built into its resources.
#pragma once

#include <QTextBrowser>

class THelpWindow : public QTextBrowser
{
    Q_OBJECT

public:
    explicit THelpWindow(QWidget *parent = nullptr);
    // Shows the manual's contents page in the chosen language.
    void showContents(bool japanese);
};
