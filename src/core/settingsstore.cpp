// The settings store over QSettings' INI file, and the stored values' rules.
#include "core/settingsstore.h"

#include "core/appinfo.h"
#include "core/durablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

ESettingsError storeError(const QString &path)
{
    return ESettingsError(QStringLiteral("'%1' の設定に失敗しました").arg(path));
}

// QSettings reads every file it names as soon as it is made, and would block
// on a FIFO at the settings path; its folder for this user (as set by
// QSettings::setPath too) is asked for through names that no file has.
QString userSettingsFolder()
{
    const QString probe = QStringLiteral(".quavette-folder-probe");
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, probe, probe);
    // FOLDER/probe/probe.conf
    return QFileInfo(QFileInfo(settings.fileName()).absolutePath()).absolutePath();
}

// The bytes of a regular file, without blocking on anything else; a missing
// file is empty.
bool readSettingsFile(const QByteArray &path, QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    while (ok) {
        char buffer[16384];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n >= 0;
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return ok;
}

QMap<QString, QVariant> valuesOf(QSettings &settings)
{
    QMap<QString, QVariant> values;
    for (const QString &k : settings.allKeys())
        values.insert(k, settings.value(k));
    return values;
}

qint64 milliseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// QSettings takes a file of the same size and time, to the millisecond, as
// the one it last read for unchanged, and would go on giving the old values.
void makeDistinguishable(const QByteArray &replacement, const QByteArray &replaced)
{
    struct stat before, after;
    if (::stat(replaced.constData(), &before) != 0 || ::stat(replacement.constData(), &after) != 0
        || before.st_size != after.st_size || milliseconds(before.st_mtim) != milliseconds(after.st_mtim))
        return;
    const qint64 later = milliseconds(before.st_mtim) + 1;
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(later / 1000), long(later % 1000) * 1000000}};
    ::utimensat(AT_FDCWD, replacement.constData(), times, 0);
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

SettingsStore::SettingsStore() : m_path(FilePath())
{
    const QByteArray path = QFile::encodeName(m_path);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // QSettings creates nothing until it writes, but the key must exist from
    // the first start on. A file that can only be read still gives its
    // values. Nothing here waits on a FIFO or a device.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) {
        m_refusal = QString::fromUtf8(storeError(m_path).what());
        return;
    }
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
}

SettingsStore::~SettingsStore()
{
    // What no Flush stored (the section erased at start-up) is stored here;
    // a failure is ignored.
    try {
        if (m_settings && !m_flushed && !m_changes.isEmpty())
            store();
    } catch (const ESettingsError &) {
    }
}

int SettingsStore::ReadIntSetting(const QString &section, const QString &name, int defaultValue)
{
    const QString k = key(section, name);
    for (auto c = m_changes.crbegin(); c != m_changes.crend(); ++c) {
        if (c->erase && (k == c->key || k.startsWith(c->key + QLatin1Char('/'))))
            return defaultValue;
        if (!c->erase && k == c->key) {
            int value = defaultValue;
            return ParseSettingInt(c->value, value) ? value : defaultValue;
        }
    }
    if (!m_settings)
        return defaultValue;
    if (!m_settings->contains(k))
        return defaultValue;
    const QVariant stored = m_settings->value(k);
    // Anything Qt does not give back as plain text ("1, 2", "@Variant(...)",
    // "@ByteArray(...)", "@Invalid()") was not written by us as a value.
    if (stored.typeId() != QMetaType::QString)
        throw ESettingsError(QStringLiteral("'%1' のデータ型が不正です").arg(name));
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
        m_changes.append({key(section, name), QString::number(value)});
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

bool SettingsStore::Has(const Setting &setting)
{
    const QString k = key(QLatin1String(setting.section), QLatin1String(setting.name));
    for (auto c = m_changes.crbegin(); c != m_changes.crend(); ++c) {
        if (c->erase && (k == c->key || k.startsWith(c->key + QLatin1Char('/'))))
            return false;
        if (!c->erase && k == c->key)
            return true;
    }
    return m_settings && m_settings->contains(k);
}

QString SettingsStore::ReadTextSetting(const Setting &setting)
{
    const QString k = key(QLatin1String(setting.section), QLatin1String(setting.name));
    for (auto c = m_changes.crbegin(); c != m_changes.crend(); ++c) {
        if (c->erase && (k == c->key || k.startsWith(c->key + QLatin1Char('/'))))
            return {};
        if (!c->erase && k == c->key)
            return c->value;
    }
    if (!m_settings)
        return {};
    const QVariant stored = m_settings->value(k);
    return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
}

void SettingsStore::WriteTextSetting(const Setting &setting, const QString &value)
{
    m_wrote = true;
    if (m_settings)
        m_changes.append({key(QLatin1String(setting.section), QLatin1String(setting.name)), value});
}

QString PeekTextSetting(const Setting &setting)
{
    const QString path = SettingsStore::FilePath();
    if (!QFileInfo(path).isFile())
        return {};
    const QSettings settings(path, QSettings::IniFormat);
    const QVariant stored = settings.value(QLatin1String(setting.section) + QLatin1Char('/') + QLatin1String(setting.name));
    return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
}

void SettingsStore::EraseSettingsSection(const QString &section)
{
    if (!m_settings)
        return;
    const QString prefix = section + QLatin1Char('/');
    auto inSection = [&](const QString &k) { return k == section || k.startsWith(prefix); };
    const QStringList keys = m_settings->allKeys();
    // A section that is not there is no change: the file is left alone.
    if (std::any_of(keys.cbegin(), keys.cend(), inSection)
        || std::any_of(m_changes.cbegin(), m_changes.cend(), [&](const Change &c) { return inSection(c.key); }))
        m_changes.append({section, {}, true});
}

void SettingsStore::Flush()
{
    m_flushed = true;
    if (!m_settings) {
        if (m_wrote)
            throw storeError(m_path);
        return;
    }
    if (!m_changes.isEmpty())
        store();
}

// QSettings would rewrite its file in place through QSaveFile, which takes a
// failed last write for success and leaves the file short or empty. So
// QSettings rewrites a copy; the copy is read back through a fresh QSettings,
// and only when it holds every value is it renamed over the file.
void SettingsStore::store()
{
    const QByteArray target = WriteTarget(QFile::encodeName(m_path));
    QByteArray draft;
    QByteArray check;
    auto fail = [&] {
        if (!draft.isEmpty()) {
            ::unlink(draft.constData());
            ::unlink((draft + ".lock").constData());
        }
        if (!check.isEmpty())
            ::unlink(check.constData());
        throw storeError(m_path);
    };

    QByteArray current;
    if (!readSettingsFile(target, current))
        fail();
    int fd = -1;
    try {
        fd = CreateFileBeside(target, draft);
        WriteAll(fd, current);
    } catch (const EFileWriteError &) {
        if (fd >= 0)
            ::close(fd);
        fail();
    }
    if (::close(fd) != 0)
        fail();

    QMap<QString, QVariant> expected;
    {
        QSettings writer(QFile::decodeName(draft), QSettings::IniFormat);
        // Sections are parsed lazily, and remove() misses the keys of a
        // nested section ("[List/sub]") not parsed yet.
        writer.allKeys();
        for (const Change &c : std::as_const(m_changes)) {
            if (c.erase)
                writer.remove(c.key);
            else
                writer.setValue(c.key, c.value);
        }
        writer.sync();
        // A malformed file read keeps FormatError and hides the write's
        // status: the reading back below decides.
        if (writer.status() == QSettings::AccessError)
            fail();
        expected = valuesOf(writer);
    }

    // QSettings remembers each file it read or wrote by name: the copy is
    // read back under a name it has not seen.
    try {
        fd = CreateFileBeside(target, check);
    } catch (const EFileWriteError &) {
        fail();
    }
    ::close(fd);
    if (::rename(draft.constData(), check.constData()) != 0)
        fail();
    draft.clear();
    {
        QSettings reader(QFile::decodeName(check), QSettings::IniFormat);
        if (valuesOf(reader) != expected)
            fail();
    }
    makeDistinguishable(check, target);
    try {
        CommitOver(check, target);
    } catch (const EFileWriteError &) {
        check.clear(); // removed by CommitOver
        fail();
    }
    m_changes.clear();
    m_settings->sync();
}

QString SettingsStore::FilePath()
{
    return userSettingsFolder() + QLatin1Char('/') + OrganizationName() + QLatin1Char('/') + ApplicationName()
        + QStringLiteral(".conf");
}

void DeleteSettingsKey()
{
    QFile::remove(SettingsStore::FilePath());
}
