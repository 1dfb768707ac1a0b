// The main window. Its handlers live in this folder, one file per concern:
// creation and close (lifecycle), layout and options, language, playlist
// editing and the view's rows, playlist files, playback, the SoundFont, and
// the desktop beyond the design.
#pragma once

#include "device/sequencer.h"
#include "gui/captions.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <random>

class QAction;
class QTimer;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;
class SettingsStore;
class TMediaPlayer;
class PlaylistModel;
class PlaylistView;
class DriveList;
class FolderList;
class FileList;
class SplitterHandle;
class HelpWindow;
class TFrm_main;
class TFrm_ctrl;
class LyricsWindow;

// Process-wide state of the main window's module.
extern TFrm_main *Frm_main;
extern TFrm_ctrl *Frm_ctrl;
extern QByteArray ProgramFolder;
extern int CurrentIndex;
extern QByteArray CurrentSongPath;
extern QByteArray CurrentListFile;
extern bool StartingUp;

// The player's state, as the window's flags carry it: `Tmr1` active, and the
// enabled flags of "S&top" and "Pau&se".
enum class PlayerState {
    Idle,    // nothing loaded
    Playing, // a song plays (also while start-up's auto play waits for the timer)
    Paused,
    Halted,  // the automatic advance reached a song that could not start
};

class TFrm_main : public QMainWindow
{
    Q_OBJECT

public:
    // `sequencer`: nullptr plays through the real FluidSynth sequencer.
    explicit TFrm_main(std::unique_ptr<ISequencer> sequencer = nullptr, QWidget *parent = nullptr);
    ~TFrm_main() override;

    static constexpr int TickMs = 16;

    // --- The player interface (tfrm_main_playback.cpp) ---
    // What the rest of the program (the controller, the media controls, the
    // file opener, the desktop services) may use; the main window's widgets
    // are its own. Commands run the handlers as the buttons and the
    // menu items do, with the same enabled-flag guards.
    PlayerState state() const;
    bool songOpen() const;              // a song is open on the device
    int position() const;               // ms; EMCIDeviceError with no song open
    int length() const;                 // ms; EMCIDeviceError with no song open
    QByteArray currentSong() const;     // the song last started, while one is loaded
    void play();                        // "&Play"
    void pause();                       // "Pau&se", while enabled
    void stop();                        // "S&top", while enabled
    void next();                        // "&Next"
    void back();                        // "&Back"
    // Next (steps > 0) or Back (< 0) pressed |steps| times, with one song
    // opened: the songs passed over are not.
    void skip(int steps);
    void seek(int ms);                  // moves an open song to `ms`; nothing without one
    void playRow(int row);              // as a double click on the playlist's `row`
    bool repeat() const;                // "Repea&t"
    void setRepeat(bool on);
    bool shuffle() const;               // "&Random mode"
    void setShuffle(bool on);
    Language language() const;
    bool autoPlay() const;              // "&Auto play"
    QByteArray fileMask() const;        // the file list's mask
    // "Add" for whole paths and File > Open once the dialog has given a name
    // (AddPaths and OpenPlaylist below).
    void quit();                        // File > Exit
    // The controller's creation completing a start by auto play: start-up
    // leaves the timer off until then.
    void startPolling();
    // The controller window: shown at start as "Show controller" does, and
    // closed by its close box.
    void showControllerAtStart();
    void controllerClosed();
    // Wakes a sleeping tick for what it shows (the controller's bar moved).
    void wakeTick();
    // The controller has come on screen: its position, left alone while it
    // was hidden, is brought up to date now.
    void controllerOnScreen();

    // The hidden media player.
    std::unique_ptr<TMediaPlayer> MediaPlayer;

    // The random numbers of ListMove; seeded in FormCreate.
    std::mt19937 Random;


    // --- Creation and close (tfrm_main_lifecycle.cpp) ---
    void FormCreate();
    void FormClose(); // throws when the close must not complete
    void Exit1Click();
    void Uninstall1Click();

    // --- Layout, options, help and about (tfrm_main_layout.cpp) ---
    void FormResize();
    void Panel_FilesResize();
    void VMusicListResize();
    void layoutClient(); // places the children by their alignment
    void setListWidth(int width);
    int listWidth() const;
    void N6Click();
    void Autoplay1Click();
    void Showcontroller1Click();
    void showposition1Click();
    void Help2Click();
    void About1Click();

    // --- Language (tfrm_main_language.cpp) ---
    void English1Click();
    void Japanese1Click();

    // --- Playlist editing and the view's rows (tfrm_main_editing.cpp) ---
    void RebuildPlaylistView();
    void ClearRowSelection();
    void SelectRowAsCurrent(int row); // selected, then focused
    int SelectedRow() const;          // first selected row, or -1
    QByteArray RowPath(int row) const; // "Path" cell + "File name" cell, as bytes
    QString RowFileName(int row) const; // the "File name" cell as shown
    int RowCount() const;
    void Btn_addClick();
    void Add1Click();
    void Btn_deleteClick();
    void Delete1Click();
    void Btn_clearClick();
    void Clear1Click();
    void ClearClick();
    void Btn_UpClick();
    void Up1Click();
    void UpClick();
    void Btn_DownClick();
    void Down1Click();
    void DownClick();
    void FileListBoxDblClick();
    void VMusicListKeyUp();
    void VMusicListMouseDown();
    // Add's rules and messages for whole paths: nothing when the playlist
    // would pass 65,535 entries, paths with a line break left out and named.
    // Returns the row of the first entry added, or -1.
    int AddPaths(const QList<QByteArray> &paths);

    // --- Playlist files (tfrm_main_files.cpp) ---
    // False after "Bad file": the file is not taken as the current one.
    bool ReadPlaylistFile(const QByteArray &fileName);
    void WritePlaylistFile(const QByteArray &fileName);
    void Open1Click();
    // "&Open..." once the dialog has given `fileName`.
    void OpenPlaylist(const QByteArray &fileName);
    void Save1Click();
    void SaveAs1Click();
    // The automatic playlist ProgramFolder + "list.qvt": read at start-up
    // and written at close.
    void ReadAutomaticPlaylist();
    void WriteAutomaticPlaylist();
    // The file dialogs; tests replace them. Empty result: cancelled.
    std::function<QByteArray(const QByteArray &initial)> OpenDialog;
    std::function<QByteArray(const QByteArray &initial)> SaveDialog;

    // --- The SoundFont (tfrm_main_soundfont.cpp) ---
    void SoundFont1Click();
    // Loads `path` in the background as the SoundFont songs play with; once
    // loaded it is stored at close, and a font that cannot be loaded is
    // refused with a message naming it and why.
    void ChooseSoundFont(const QByteArray &path);
    // The stored choice, at start: loaded like a chosen one; where it cannot
    // be, the first Play says so once and the discovery list plays.
    void UseStoredSoundFont(const QString &stored);
    // The SoundFont dialog; tests replace it. `initial`: the SoundFont in
    // use. Empty result: cancelled.
    std::function<QByteArray(const QByteArray &initial)> SoundFontDialog;

    // --- The lyrics window (tfrm_main_lyrics.cpp) ---
    void ShowLyrics1Click();

    // --- Play loops (tfrm_main_loops.cpp) ---
    void PlayLoops1Click();

    // --- Playback (tfrm_main_playback.cpp) ---
    void Btn_PlayClick();
    void Btn_pauseClick();
    void Btn_StopClick();
    void Btn_NextClick();
    void Btn_BackClick();
    void ListMove(int direction);
    void Tmr1Timer();
    void VMusicListDblClick();
    void RandomMode1Click();
    void LoopClick();

    // Sets the window title exactly as given (Qt's "[*]" placeholder escaped).
    void SetTitle(const QString &title);
    QString Title() const { return m_title; }
    // The window title and the application title together.
    void SetTitles(const QString &title);
    // "Quavette - " followed by `text`.
    static QString TitleWith(const QString &text);

Q_SIGNALS:
    // The window has closed for good; the application ends.
    void closed();
    // The player interface's news: every change of state(), the song started
    // (another song, or none any more), Repeat or Random switched, entries
    // added or removed, and a position moved by a command.
    void stateChanged(PlayerState state);
    void currentSongChanged();
    void optionsChanged();
    void playlistChanged();
    void positionJumped();

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Panels and lists.
    QWidget *ClientArea = nullptr;
    QWidget *Panel_Btns = nullptr;
    QWidget *Panel_Files = nullptr;
    SplitterHandle *Splitter2 = nullptr;
    PlaylistView *VMusicList = nullptr;
    PlaylistModel *Model = nullptr;
    DriveList *DrvBox = nullptr;
    FolderList *DirListBox = nullptr;
    FileList *FileListBox = nullptr;

    // Button row.
    QPushButton *Btn_Play = nullptr;
    QPushButton *Btn_pause = nullptr;
    QPushButton *Btn_Stop = nullptr;
    QPushButton *Btn_add = nullptr;
    QPushButton *Btn_delete = nullptr;
    QPushButton *Btn_clear = nullptr;
    QPushButton *Btn_Up = nullptr;
    QPushButton *Btn_Down = nullptr;
    QPushButton *Btn_Back = nullptr;
    QPushButton *Btn_Next = nullptr;

    // Main menu.
    QMenu *File1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *SaveAs1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *N4 = nullptr;
    QAction *Uninstall1 = nullptr;
    QAction *N1 = nullptr;
    QAction *Exit1 = nullptr;
    QMenu *Edit1 = nullptr;
    QAction *Add1 = nullptr;
    QAction *Delete1 = nullptr;
    QAction *Clear1 = nullptr;
    QAction *Up1 = nullptr;
    QAction *Down1 = nullptr;
    QMenu *Option1 = nullptr;
    QAction *RandomMode1 = nullptr;
    QAction *Loop = nullptr;
    QAction *N5 = nullptr;
    QAction *N6 = nullptr;
    QAction *Autoplay1 = nullptr;
    QAction *N7 = nullptr;
    QAction *Showcontroller1 = nullptr;
    QAction *showposition1 = nullptr;
    QAction *N2 = nullptr;
    QAction *English1 = nullptr;
    QAction *Japanese1 = nullptr;
    QAction *SoundFontSeparator = nullptr;
    QAction *SoundFont1 = nullptr;
    QAction *LyricsSeparator = nullptr;
    QAction *ShowLyrics1 = nullptr;
    QAction *PlayLoops1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *Help2 = nullptr;
    QAction *N3 = nullptr;
    QAction *About1 = nullptr;

    // Popup menu of the playlist view.
    QMenu *PopupMenu = nullptr;
    QAction *Up = nullptr;
    QAction *Down = nullptr;
    QAction *N9 = nullptr;
    QAction *Clear = nullptr;

    // The polling timer. Being active is part of the player's state, so it
    // stays active while a song is paused; but a paused song leaves nothing
    // to show, and a playing one nothing while no window shows its position,
    // so meanwhile it may sleep: active, with its next tick far away, until
    // something it shows may have changed (wakeTick).
    QTimer *Tmr1 = nullptr;

    // The tick's timer: started and stopped awake; asleep, still active,
    // with its next tick `ms` away unless woken.
    void startTick();
    void stopTick();
    void sleepTick(int ms);
    // The title or the controller shows the position as it runs.
    bool positionOnScreen() const;
    // Says a changed state() and a changed song; run after each handler that
    // may have changed them.
    void noteState();
    void selectRowWithoutScrolling(int row);
    // A command tied to a button runs only while the button is enabled.
    void runIfEnabled(QPushButton *button, void (TFrm_main::*handler)());
    void buildMenus();
    void buildButtons();
    void buildPlaylistView();
    void buildFilePane();
    void wireHandlers();
    void wirePlaylistFileHandlers();
    void wireEditingHandlers();
    void wirePlaybackHandlers();
    void wireOptionHandlers();
    void wireDesktopHandlers();
    void wireSoundFontHandlers();
    void wireLyricsHandlers();
    void wireLoopHandlers();
    // "Play loops", at start and at close.
    void readLoopSettings(SettingsStore &store);
    void writeLoopSettings(SettingsStore &store);
    // "Show lyrics" and the window's place, at start and at close.
    void readLyricsSettings(SettingsStore &store);
    void writeLyricsSettings(SettingsStore &store);
    // Loads `path` in the background; `stored`: it is the choice read at
    // start, whose failure waits for the first Play.
    void loadSoundFont(const QByteArray &path, bool stored);
    void soundFontLoaded(const QByteArray &path, const QString &error, bool stored);
    // The message kept from start-up for the first Play; shown once.
    void showSoundFontNotice();
    // Appends the paths a playlist can hold; the others go to `skipped`.
    int appendPaths(const QList<QByteArray> &paths, QList<QByteArray> &skipped);
    // Connects a menu command; a checkable item has toggled its own check
    // mark when the handler runs.
    void connectCommand(QAction *action, void (TFrm_main::*handler)());
    void applyLanguage(Language language);
    // Keeps m_restoredBounds while the window is in the normal state.
    void noteRestoredBounds();
    // The popup items' and the columns' captions, which follow the buttons
    // and the language.
    void showCopiedCaptions(Language language);

    QString m_title;
    mutable int m_selectedRow = -1;
    mutable bool m_selectedRowKnown = false;
    // The frame's place and the window's size in the normal state: what the
    // close stores for a maximized window.
    QRect m_restoredBounds;
    // The bounds read at start, and those applied from them.
    QRect m_readBounds;
    QRect m_appliedBounds;
    int m_listWidth = 330;
    bool m_tickBoxOpen = false;
    bool m_tickAsleep = false;
    PlayerState m_state = PlayerState::Idle;
    QByteArray m_currentSong;
    int m_currentIndex = -1;
    HelpWindow *m_helpWindow = nullptr;
    QByteArray m_soundFontSetting; // written at close unless empty
    QString m_soundFontNotice;
    bool m_played = false;
    // Created when "Show lyrics" is first checked.
    LyricsWindow *m_lyricsWindow = nullptr;
    bool m_lyricsSettingKnown = false; // stored, or the item used: written at close
    bool m_loopSettingKnown = false;   // the same for "Play loops"
};
