// The controller: a small always-on-top window that shows the playing
// position, seeks, and repeats the main window's transport buttons.
#pragma once

#include <QPoint>
#include <QRect>
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

    // What the main window shows here. Setting a maximum that clips a bar's
    // position runs its change handler, as a user's move would.
    void ShowSongLength(int length);       // both bars' maxima
    void ShowPositionMaximum(int length);  // the position bar's alone
    void ShowLoadedSong(int length);       // a song has started
    void ShowStopped();
    void ShowPosition(int position, int length);
    void SetPauseEnabled(bool enabled);
    // As a person seeks: the seek bar to `ms`, then "&Change!".
    void ChangeTo(int ms);
    // Where the window's frame is; "CtrlTop" and "CtrlLeft" store it.
    QPoint Place() const;
    // Puts the frame there, also right after the window was shown.
    void SetPlace(const QPoint &place);

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
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormPaint();
    // The marker's outline and a pixel around it.
    static constexpr QRect MarkerBounds{89, 55, 15, 12};

    QPoint m_readPlace; // as stored, for where the place cannot be known
};
