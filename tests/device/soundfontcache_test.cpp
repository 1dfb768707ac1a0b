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
        std::string error;
        EXPECT_EQ(SoundFontCache::instance().acquire(c.path, &error), nullptr) << c.path;
        EXPECT_EQ(error, c.reason) << c.path;
    }

    QFile::remove(QString::fromStdString(cases[2].path));
    ASSERT_TRUE(QFile::copy(QString::fromLatin1(TestSoundFont), QString::fromStdString(cases[2].path)));
    std::string error;
    EXPECT_NE(SoundFontCache::instance().acquire(cases[2].path, &error), nullptr) << "mended: " << error;
}

TEST(SoundFontCache, AFontNoSynthesiserUsesIsUnloaded)
{
    std::string error;
    SoundFontCache &cache = SoundFontCache::instance();
    const std::size_t before = cache.loadedCount();
    fluid_sfont_t *font = cache.acquire(TestSoundFont, &error);
    ASSERT_NE(font, nullptr) << error;
    cache.retain(font);
    cache.retain(font);
    cache.release(font);
    EXPECT_EQ(cache.loadedCount(), before + 1) << "one synthesiser still uses it";
    cache.release(font);
    EXPECT_EQ(cache.loadedCount(), before);
}

} // namespace
