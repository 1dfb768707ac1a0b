// The settings store: one INI file (QSettings "Kestrix"/"Quavette"), sections
// "Position" and "Option", every value held as text.
#pragma once

#include <QString>

#include <memory>
#include <stdexcept>

class QSettings;

// A failure of the store; its text is the message shown to the user.
class SettingsError : public std::runtime_error
{
public:
    explicit SettingsError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The text-to-integer rule of the stored values: leading spaces, one sign,
// "$", "x", "X", "0x" or "0X" for hexadecimal. Returns false (and leaves
// `value` alone) for an empty text, any other character, or a number outside
// the 32-bit signed range.
bool ParseSettingInt(const QString &text, int &value);

class SettingsStore
{
public:
    // Opens the store, creating the settings file (and its folder) when it is
    // missing. Never reports a failure: an unusable file gives defaults on
    // reading and takes no writes.
    SettingsStore();
    ~SettingsStore(); // closes

    int ReadIntSetting(const QString &section, const QString &name, int defaultValue);
    bool ReadFlagSetting(const QString &section, const QString &name, bool defaultValue);
    void WriteIntSetting(const QString &section, const QString &name, int value);
    void WriteFlagSetting(const QString &section, const QString &name, bool value);
    void EraseSettingsSection(const QString &section); // failures ignored

    // Flushes the writes; throws SettingsError ("'%s' の設定に失敗しました"
    // with the file's path) when they could not be stored.
    void Flush();

    // Where the settings live: $XDG_CONFIG_HOME/Kestrix/Quavette.conf.
    static QString FilePath();

private:
    std::unique_ptr<QSettings> m_settings;
    bool m_usable = false;
    bool m_wrote = false; // a write was asked for (reported by Flush when unusable)
};

// Removes the whole settings key (the file); the folder "Kestrix" stays.
// Failures are ignored.
void DeleteSettingsKey();
