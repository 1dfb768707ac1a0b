// The lyrics window: a small always-on-top window that shows the line being
// sung, with the syllables sung so far highlighted, and the next line below
// it. It follows the player through its interface: the song it plays, its
// state, and the position the listener hears, waking once per syllable.
#pragma once

#include "gui/captions.h"

#include <QByteArray>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <memory>

class Lyrics;
class QLabel;
class SettingsStore;
class TFrm_main;

// The words of `path`, read once per song: the last song asked for is kept.
// None for a file that cannot be read.
std::shared_ptr<const Lyrics> LyricsOfSong(const QByteArray &path);

class LyricsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LyricsWindow(TFrm_main *player);
    ~LyricsWindow() override;

    void setLanguage(Language language);
    // What the window shows at `ms` into the song.
    void showAt(int ms);
    QString lineText() const { return m_line; }
    QString sungText() const { return m_line.left(m_sungLength); }
    QString nextText() const { return m_next; }

    // The place and size in "Position", mended where unusable; and stored.
    void restorePlace(SettingsStore &store);
    void storePlace(SettingsStore &store) const;

Q_SIGNALS:
    // The close box was used.
    void closed();
    // A syllable at `ms` into the song has just been highlighted.
    void syllableShown(int ms);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void songChanged();
    // Shows where the player is, and wakes again at the next syllable.
    void follow();
    void paintLines();

    TFrm_main *m_player;
    std::shared_ptr<const Lyrics> m_lyrics;
    QLabel *m_lineLabel;
    QLabel *m_nextLabel;
    QTimer m_wake;
    QString m_line;
    QString m_next;
    int m_lineIndex = -2; // -2: nothing shown yet
    int m_sungLength = -1;
    int m_lastSyllableMs = -1;
    QRect m_read;    // as stored
    QRect m_applied; // as applied from it
};
