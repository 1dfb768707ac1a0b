// The settings store: one INI file (QSettings "Kestrix"/"Quavette"), sections
// "Position" and "Option", every value held as text.
#pragma once

#include <QList>
#include <QString>

#include "core/coreerror.h"

#include <memory>

class QSettings;

// A failure of the store; its text is the message shown to the user.
class ESettingsError : public ECoreError
{
public:
    using ECoreError::ECoreError;
};

// The text-to-integer rule of the stored values: leading spaces, one sign,
// "$", "x", "X", "0x" or "0X" for hexadecimal. Returns false (and leaves
// `value` alone) for an empty text, any other character, or a number outside
// the 32-bit signed range.
bool ParseSettingInt(const QString &text, int &value);

// One stored value: its section, its name, and what reading it gives when it
// is missing or not a number (0 or 1 for a flag).
struct Setting {
    const char *section;
    const char *name;
    int defaultValue;
};

// Every value the program keeps, in the order of the sections.
namespace Settings {
inline constexpr Setting Top{"Position", "Top", 78};
inline constexpr Setting Left{"Position", "Left", 156};
inline constexpr Setting Width{"Position", "Width", 549};
inline constexpr Setting Height{"Position", "Height", 369};
inline constexpr Setting ListWidth{"Position", "ListWidth", 329};
inline constexpr Setting FileNameWidth{"Position", "FileNameWidth", 100};
inline constexpr Setting PathNameWidth{"Position", "PathNameWidth", 150};
inline constexpr Setting Maximized{"Position", "Maximized", 0};
inline constexpr Setting CtrlTop{"Position", "CtrlTop", 141};
inline constexpr Setting CtrlLeft{"Position", "CtrlLeft", 176};
// The lyrics window's bounds: written once it has been shown.
inline constexpr Setting LyricsTop{"Position", "LyricsTop", 340};
inline constexpr Setting LyricsLeft{"Position", "LyricsLeft", 176};
inline constexpr Setting LyricsWidth{"Position", "LyricsWidth", 320};
inline constexpr Setting LyricsHeight{"Position", "LyricsHeight", 64};
inline constexpr Setting Random{"Option", "Random", 0};
inline constexpr Setting ShowPosition{"Option", "ShowPosition", 0};
inline constexpr Setting ListSave{"Option", "ListSave", 0};
inline constexpr Setting AutoPlay{"Option", "AutoPlay", 0};
inline constexpr Setting English{"Option", "English", 1};
inline constexpr Setting ShowController{"Option", "ShowController", 0};
// Text: the path of the SoundFont chosen; written only once one is chosen.
inline constexpr Setting SoundFont{"Option", "SoundFont", 0};
// "Show lyrics": written once the item has been used or the key exists.
inline constexpr Setting ShowLyrics{"Option", "ShowLyrics", 0};
// Flag: songs with a loop marked in them play it on and fade out.
inline constexpr Setting PlayLoops{"Option", "PlayLoops", 0};
// Neither read nor written: erased at every start.
inline constexpr char ListSection[] = "List";
} // namespace Settings

class SettingsStore
{
public:
    // Opens the store, creating the settings file (and its folder) when it is
    // missing. Never blocks and never throws: a file that cannot be used
    // gives defaults on reading and takes no writes.
    SettingsStore();
    ~SettingsStore(); // stores what Flush has not, failures ignored; closes

    // Why the settings file was refused ("'%s' の設定に失敗しました"), when
    // something other than a regular file stands at its path; else empty.
    QString Refusal() const { return m_refusal; }

    int ReadIntSetting(const QString &section, const QString &name, int defaultValue);
    bool ReadFlagSetting(const QString &section, const QString &name, bool defaultValue);
    void WriteIntSetting(const QString &section, const QString &name, int value);
    void WriteFlagSetting(const QString &section, const QString &name, bool value);
    void EraseSettingsSection(const QString &section); // failures ignored

    // The same by the table above.
    int ReadIntSetting(const Setting &setting);
    bool ReadFlagSetting(const Setting &setting);
    void WriteIntSetting(const Setting &setting, int value);
    void WriteFlagSetting(const Setting &setting, bool value);
    // Whether the file holds the value at all.
    bool Has(const Setting &setting);
    // A text value; empty when missing or not text.
    QString ReadTextSetting(const Setting &setting);
    void WriteTextSetting(const Setting &setting, const QString &value);

    // Stores the writes; throws ESettingsError ("'%s' の設定に失敗しました"
    // with the file's path) when they could not be stored, and then the
    // file is as it was.
    void Flush();

    // Where the settings live: $XDG_CONFIG_HOME/Kestrix/Quavette.conf.
    static QString FilePath();

private:
    // A write or an erased section, in the order asked for; applied by Flush.
    struct Change {
        QString key;
        QString value;
        bool erase = false;
    };

    void store();

    QString m_path;
    std::unique_ptr<QSettings> m_settings; // reads only
    QList<Change> m_changes;
    QString m_refusal;
    bool m_wrote = false; // a write was asked for (reported by Flush when unusable)
    bool m_flushed = false;
};

// A text value read straight from the settings file, which is neither
// created nor written: for tools beside the program.
QString PeekTextSetting(const Setting &setting);

// Removes the whole settings key (the file); the folder "Kestrix" stays.
// Failures are ignored.
void DeleteSettingsKey();
