// The controller: a small always-on-top window that shows the playing
// position, seeks, and repeats the main window's transport buttons.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QScrollBar;

class TFrm_ctrl : public QWidget
{
    Q_OBJECT

public:
    explicit TFrm_ctrl(QWidget *parent = nullptr);
    ~TFrm_ctrl() override;

    QScrollBar *Scr_Time = nullptr;
    QPushButton *Btn_Play = nullptr;
    QPushButton *Btn_pause = nullptr;
    QPushButton *Btn_Stop = nullptr;
    QScrollBar *Scr_change = nullptr;
    QPushButton *Btn_Change = nullptr;
    QPushButton *Btn_Next = nullptr;
    QPushButton *Btn_Back = nullptr;
    QLabel *Lbl_time = nullptr;
    QLabel *Lbl_ToTime = nullptr;

    void FormCreate();
    void FormClose();
    void Btn_PlayClick();
    void Btn_pauseClick();
    void Btn_StopClick();
    void Btn_NextClick();
    void Btn_BackClick();
    void Btn_ChangeClick();
    void Scr_changeChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormPaint();
};
