// The 3-pixel bar between the file pane and the playlist view; dragging it
// changes the width of the playlist view, the file pane takes the rest.
#pragma once

#include <QWidget>

#include <functional>

class SplitterHandle : public QWidget
{
    Q_OBJECT

public:
    explicit SplitterHandle(QWidget *parent = nullptr);

    // Called with the new left edge of the handle, in parent coordinates.
    std::function<void(int left)> moved;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_grab = -1; // where in the handle the press was
};
