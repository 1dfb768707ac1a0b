// The SoundFont cache: why a file is refused, a mended file taken at the next
// try, and only the fonts in use kept loaded.
#include "device/soundfontcache.h"

#include "renderclock.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::string Write(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    QFile f(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName().toStdString();
}

TEST(SoundFontCache, ARefusedFileIsNamedForWhyAndTriedAgainOnceMended)
{
    QTemporaryDir dir;
    const struct {
        std::string path;
        const char *reason;
    } cases[] = {
        {dir.filePath(QStringLiteral("gone.sf2")).toStdString(), "No SoundFont was found."},
        {Write(dir, "song.sf2", "MThd\0\0\0\6"), "The file is not a SoundFont (it has no RIFF sfbk header)."},
        {Write(dir, "cut.sf2", QByteArray("RIFF\x00\x10\x00\x00sfbkLIST", 16)), "The SoundFont file is truncated."},
    };
    for (const auto &c : cases) {
        try {
            SoundFontCache::instance().acquire(c.path);
            ADD_FAILURE() << c.path << " was taken";
        } catch (const EDeviceError &e) {
            EXPECT_STREQ(e.what(), c.reason) << c.path;
        }
    }

    QFile::remove(QString::fromStdString(cases[2].path));
    ASSERT_TRUE(QFile::copy(QString::fromLatin1(TestSoundFont), QString::fromStdString(cases[2].path)));
    EXPECT_NE(SoundFontCache::instance().tryAcquire(cases[2].path), nullptr) << "mended";
}

TEST(SoundFontCache, AFontNoSynthesiserUsesIsUnloaded)
{
    SoundFontCache &cache = SoundFontCache::instance();
    const std::size_t before = cache.loadedCount();
    fluid_sfont_t *font = cache.acquire(TestSoundFont);
    ASSERT_NE(font, nullptr);
    cache.retain(font);
    cache.retain(font);
    cache.release(font);
    EXPECT_EQ(cache.loadedCount(), before + 1) << "one synthesiser still uses it";
    cache.release(font);
    EXPECT_EQ(cache.loadedCount(), before);
}

} // namespace
