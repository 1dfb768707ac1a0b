// The settings store on its own: the value rules, the INI file it keeps, and
// what happens when that file cannot be written.
#include "core/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::string messageOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const ESettingsError &e) {
        return e.what();
    }
    return "(no error)";
}

// Every case gets its own configuration folder, set through QSettings' own
// path so that the cases also hold when run in one process.
class SettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        useConfigFolder(m_dir.path() + QStringLiteral("/config"));
    }
    void useConfigFolder(const QString &folder)
    {
        m_config = folder;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }
    QString confFile() const { return m_config + QStringLiteral("/Kestrix/Quavette.conf"); }

    QTemporaryDir m_dir;
    QString m_config;
};

} // namespace

TEST(ParseSettingInt, FollowsTheStoredIntegerRule)
{
    const struct {
        const char *text;
        bool ok;
        int value;
    } cases[] = {
        {"78", true, 78},
        {" 12", true, 12},
        {"   -4", true, -4},
        {"+7", true, 7},
        {"0", true, 0},
        {"0007", true, 7},
        {"$10", true, 16},
        {"x1f", true, 31},
        {"X1F", true, 31},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"-$10", true, -16},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"$7FFFFFFF", true, 2147483647},
        {"-0x80000000", true, -2147483647 - 1},
        {"", false, 0},
        {" ", false, 0},
        {"abc", false, 0},
        {"12x", false, 0},
        {"12 ", false, 0},
        {"\t12", false, 0},
        {"--1", false, 0},
        {"+-1", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"$-1", false, 0},
        {"0x1G", false, 0},
        {"1e3", false, 0},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$80000000", false, 0},
        {"99999999999999999999999", false, 0},
        {"١٢", false, 0},
        {"１２", false, 0},
    };
    for (const auto &c : cases) {
        int value = 4321;
        const bool ok = ParseSettingInt(QString::fromUtf8(c.text), value);
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : 4321) << '"' << c.text << '"';
    }
}

TEST_F(SettingsStoreTest, OpeningCreatesTheEmptyFileAndItsFolder)
{
    ASSERT_EQ(SettingsStore::FilePath(), confFile());
    ASSERT_FALSE(QFile::exists(confFile()));
    {
        SettingsStore store;
        EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78), 78);
        EXPECT_TRUE(store.ReadFlagSetting(QStringLiteral("Option"), QStringLiteral("English"), true));
    }
    EXPECT_TRUE(QFileInfo(confFile()).isFile());
    EXPECT_EQ(QFileInfo(confFile()).size(), 0);
}

TEST_F(SettingsStoreTest, StoredTextsReadByTheRule)
{
    writeAll(confFile(), "[Position]\n"
                         "Top=abc\n"
                         "Left=\n"
                         "Width=12x\n"
                         "Height=\" 12\"\n"
                         "ListWidth=$10\n"
                         "FileNameWidth=0x1F\n"
                         "PathNameWidth=-4\n"
                         "CtrlTop=2147483648\n"
                         "Maximized=2\n"
                         "[Option]\n"
                         "English=0\n"
                         "Random=-1\n"
                         "AutoPlay=abc\n"
                         "ListSave=abc\n");
    SettingsStore store;
    const QString pos = QStringLiteral("Position");
    const QString opt = QStringLiteral("Option");
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("Top"), 78), 78);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("Left"), 78), 78);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("Width"), 78), 78);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("Height"), 78), 12);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("ListWidth"), 78), 16);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("FileNameWidth"), 78), 31);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("PathNameWidth"), 78), -4);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("CtrlTop"), 141), 141);
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("Missing"), 7), 7);
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("NoSuchSection"), QStringLiteral("Top"), 7), 7);
    EXPECT_TRUE(store.ReadFlagSetting(pos, QStringLiteral("Maximized"), false));
    EXPECT_FALSE(store.ReadFlagSetting(opt, QStringLiteral("English"), true));
    EXPECT_TRUE(store.ReadFlagSetting(opt, QStringLiteral("Random"), false));
    EXPECT_FALSE(store.ReadFlagSetting(opt, QStringLiteral("AutoPlay"), false));
    EXPECT_TRUE(store.ReadFlagSetting(opt, QStringLiteral("ListSave"), true));
}

TEST_F(SettingsStoreTest, ValuesOfAnotherTypeAreRefusedByName)
{
    writeAll(confFile(), "[Position]\n"
                         "Top=1, 2\n"
                         "Left=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
                         "Width=@ByteArray(12)\n"
                         "Height=@Invalid()\n"
                         "ListWidth=\"1, 2\"\n");
    SettingsStore store;
    const QString pos = QStringLiteral("Position");
    EXPECT_EQ(messageOf([&] { store.ReadIntSetting(pos, QStringLiteral("Top"), 78); }), "'Top' のデータ型が不正です");
    EXPECT_EQ(messageOf([&] { store.ReadIntSetting(pos, QStringLiteral("Left"), 156); }), "'Left' のデータ型が不正です");
    EXPECT_EQ(messageOf([&] { store.ReadIntSetting(pos, QStringLiteral("Width"), 549); }), "'Width' のデータ型が不正です");
    EXPECT_EQ(messageOf([&] { store.ReadFlagSetting(pos, QStringLiteral("Height"), false); }), "'Height' のデータ型が不正です");
    // Quoted, the same characters are text, just not a number.
    EXPECT_EQ(store.ReadIntSetting(pos, QStringLiteral("ListWidth"), 329), 329);
}

TEST_F(SettingsStoreTest, WritesEveryValueAsText)
{
    {
        SettingsStore store;
        store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78);
        store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Left"), -4);
        store.WriteFlagSetting(QStringLiteral("Position"), QStringLiteral("Maximized"), true);
        store.WriteFlagSetting(QStringLiteral("Option"), QStringLiteral("Random"), false);
        store.Flush();
    }
    EXPECT_EQ(readAll(confFile()), QByteArray("[Option]\nRandom=0\n\n[Position]\nLeft=-4\nMaximized=1\nTop=78\n"));

    SettingsStore again;
    EXPECT_EQ(again.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Left"), 0), -4);
    EXPECT_TRUE(again.ReadFlagSetting(QStringLiteral("Position"), QStringLiteral("Maximized"), false));
}

TEST_F(SettingsStoreTest, ErasingASectionTakesItsNestedGroupsAndNothingElse)
{
    writeAll(confFile(), "[List]\nx=1\nsub\\deeper\\y=2\n"
                         "[List%2Fother]\nz=3\n"
                         "[Listing]\nkeep=1\n"
                         "[Option]\nRandom=1\n");
    {
        SettingsStore store;
        store.EraseSettingsSection(QStringLiteral("List"));
    }
    QSettings check(confFile(), QSettings::IniFormat);
    EXPECT_EQ(check.allKeys(), QStringList({QStringLiteral("Listing/keep"), QStringLiteral("Option/Random")}));
}

TEST_F(SettingsStoreTest, ErasingAMissingSectionChangesNothing)
{
    writeAll(confFile(), "[Option]\nRandom=1\n");
    {
        SettingsStore store;
        store.EraseSettingsSection(QStringLiteral("List"));
        store.Flush();
    }
    EXPECT_EQ(readAll(confFile()), QByteArray("[Option]\nRandom=1\n"));
}

TEST_F(SettingsStoreTest, DeletingTheKeyRemovesTheFileAndKeepsTheFolder)
{
    {
        SettingsStore store;
        store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 5);
        store.Flush();
    }
    DeleteSettingsKey();
    EXPECT_FALSE(QFile::exists(confFile()));
    EXPECT_TRUE(QFileInfo(m_config + QStringLiteral("/Kestrix")).isDir());
    DeleteSettingsKey(); // a missing key is no error

    // QSettings caches files per process; the next store must still see none.
    SettingsStore store;
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78), 78);
}

TEST_F(SettingsStoreTest, AFolderThroughARegularFileGivesDefaultsAndReportsTheWrites)
{
    const QString blocker = m_dir.path() + QStringLiteral("/plain-file");
    writeAll(blocker, "not a folder");
    useConfigFolder(blocker + QStringLiteral("/config"));

    SettingsStore store;
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78), 78);
    store.EraseSettingsSection(QStringLiteral("List"));
    EXPECT_NO_THROW(store.Flush()); // nothing was to be written
    store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 5);
    EXPECT_EQ(messageOf([&] { store.Flush(); }), (QStringLiteral("'") + confFile() + QStringLiteral("' の設定に失敗しました")).toStdString());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("plain-file")});
}

TEST_F(SettingsStoreTest, AFolderLostAfterOpeningIsReportedAtFlush)
{
    SettingsStore store;
    store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 5);
    // The folder turns into a regular file: no write can land, even as root.
    ASSERT_TRUE(QDir(m_config + QStringLiteral("/Kestrix")).removeRecursively());
    writeAll(m_config + QStringLiteral("/Kestrix"), "blocker");
    EXPECT_EQ(messageOf([&] { store.Flush(); }), (QStringLiteral("'") + confFile() + QStringLiteral("' の設定に失敗しました")).toStdString());
}

TEST_F(SettingsStoreTest, AMalformedFileDoesNotHideAFailedWrite)
{
    writeAll(confFile(), "[Position\ngarbage\n[Option]\nRandom=1\n");
    SettingsStore store;
    EXPECT_TRUE(store.ReadFlagSetting(QStringLiteral("Option"), QStringLiteral("Random"), false));
    store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 5);
    ASSERT_TRUE(QDir(m_config + QStringLiteral("/Kestrix")).removeRecursively());
    writeAll(m_config + QStringLiteral("/Kestrix"), "blocker");
    EXPECT_THROW(store.Flush(), ESettingsError);
}

TEST_F(SettingsStoreTest, AMalformedFileIsRewrittenWithoutComplaint)
{
    writeAll(confFile(), "[Position\ngarbage\n[Option]\nRandom=1\n");
    {
        SettingsStore store;
        store.WriteIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 5);
        EXPECT_NO_THROW(store.Flush());
    }
    SettingsStore store;
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78), 5);
}

TEST_F(SettingsStoreTest, AFolderInPlaceOfTheFileGivesDefaults)
{
    ASSERT_TRUE(QDir().mkpath(confFile()));
    SettingsStore store;
    EXPECT_EQ(store.Refusal(), QStringLiteral("'") + confFile() + QStringLiteral("' の設定に失敗しました"));
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78), 78);
    store.WriteFlagSetting(QStringLiteral("Option"), QStringLiteral("Random"), true);
    EXPECT_THROW(store.Flush(), ESettingsError);
    EXPECT_TRUE(QFileInfo(confFile()).isDir());
}

TEST_F(SettingsStoreTest, ValuesFromTheSystemWideFileAreNotRead)
{
    const QString system = m_dir.path() + QStringLiteral("/system");
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system);
    writeAll(system + QStringLiteral("/Kestrix/Quavette.conf"), "[Position]\nTop=5\n");
    writeAll(m_config + QStringLiteral("/Kestrix.conf"), "[Position]\nLeft=6\n");
    SettingsStore store;
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Top"), 78), 78);
    EXPECT_EQ(store.ReadIntSetting(QStringLiteral("Position"), QStringLiteral("Left"), 156), 156);
}
