// The settings store over QSettings' INI file, and the stored values' rules.
#include "core/settingsstore.h"

#include "core/appinfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>

#include <limits>

namespace {

QString key(const QString &section, const QString &name)
{
    return section + QLatin1Char('/') + name;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

std::unique_ptr<QSettings> openSettings()
{
    auto settings = std::make_unique<QSettings>(OrganizationName(), ApplicationName());
    // Only the user's own file counts, as the per-user key did: values from
    // /etc/xdg or an organisation-wide file must never be read.
    settings->setFallbacksEnabled(false);
    return settings;
}

} // namespace

bool ParseSettingInt(const QString &text, int &value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;

    // The magnitude may reach 2^31 for the most negative number.
    const qint64 limit = negative ? qint64(std::numeric_limits<int>::max()) + 1
                                  : qint64(std::numeric_limits<int>::max());
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || digit >= base)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = int(negative ? -magnitude : magnitude);
    return true;
}

SettingsStore::SettingsStore()
{
    const QString path = FilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // QSettings creates nothing until it writes, but the key must exist from
    // the first start on. Opening for writing creates the file; a file that
    // can only be read still gives its values.
    QFile file(path);
    m_usable = file.open(QIODevice::ReadWrite) || file.open(QIODevice::ReadOnly);
    file.close();
    if (m_usable)
        m_settings = openSettings();
}

SettingsStore::~SettingsStore() = default;

int SettingsStore::ReadIntSetting(const QString &section, const QString &name, int defaultValue)
{
    if (!m_settings)
        return defaultValue;
    const QString k = key(section, name);
    if (!m_settings->contains(k))
        return defaultValue;
    const QVariant stored = m_settings->value(k);
    // Anything Qt does not give back as plain text ("1, 2", "@Variant(...)",
    // "@ByteArray(...)", "@Invalid()") was not written by us as a value.
    if (stored.typeId() != QMetaType::QString)
        throw SettingsError(QStringLiteral("'%1' のデータ型が不正です").arg(name));
    int value = defaultValue;
    return ParseSettingInt(stored.toString(), value) ? value : defaultValue;
}

bool SettingsStore::ReadFlagSetting(const QString &section, const QString &name, bool defaultValue)
{
    return ReadIntSetting(section, name, defaultValue ? 1 : 0) != 0;
}

void SettingsStore::WriteIntSetting(const QString &section, const QString &name, int value)
{
    m_wrote = true;
    if (m_settings)
        m_settings->setValue(key(section, name), QString::number(value));
}

void SettingsStore::WriteFlagSetting(const QString &section, const QString &name, bool value)
{
    WriteIntSetting(section, name, value ? 1 : 0);
}

int SettingsStore::ReadIntSetting(const Setting &setting)
{
    return ReadIntSetting(QLatin1String(setting.section), QLatin1String(setting.name), setting.defaultValue);
}

bool SettingsStore::ReadFlagSetting(const Setting &setting)
{
    return ReadIntSetting(setting) != 0;
}

void SettingsStore::WriteIntSetting(const Setting &setting, int value)
{
    WriteIntSetting(QLatin1String(setting.section), QLatin1String(setting.name), value);
}

void SettingsStore::WriteFlagSetting(const Setting &setting, bool value)
{
    WriteFlagSetting(QLatin1String(setting.section), QLatin1String(setting.name), value);
}

void SettingsStore::EraseSettingsSection(const QString &section)
{
    if (!m_settings)
        return;
    // QSettings parses INI sections lazily, and remove() misses the keys of
    // a nested section ("[List/sub]") it has not parsed yet.
    m_settings->allKeys();
    m_settings->remove(section);
}

void SettingsStore::Flush()
{
    bool stored = true;
    if (m_settings) {
        m_settings->sync();
        switch (m_settings->status()) {
        case QSettings::NoError:
            break;
        case QSettings::AccessError:
            stored = false;
            break;
        case QSettings::FormatError:
            // A malformed file read at opening keeps this status and hides a
            // failed write. The write replaces the file through a temporary
            // file beside it, so it went through if such a file can be made.
            stored = QTemporaryFile(FilePath() + QStringLiteral(".XXXXXX")).open();
            break;
        }
    } else {
        stored = !m_wrote;
    }
    if (!stored)
        throw SettingsError(QStringLiteral("'%1' の設定に失敗しました").arg(FilePath()));
}

QString SettingsStore::FilePath()
{
    return openSettings()->fileName();
}

void DeleteSettingsKey()
{
    QFile::remove(SettingsStore::FilePath());
}
