#include "device/soundfontcache.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace {

const char *const SearchList[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/soundfonts/default.sf2",
};

bool isFile(const char *path)
{
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

SoundFontCache &SoundFontCache::instance()
{
    static SoundFontCache cache;
    return cache;
}

SoundFontCache::SoundFontCache()
{
    // Errors reach the user as our own texts; FluidSynth's log lines would
    // only clutter the terminal of a desktop program.
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, nullptr, nullptr);
}

SoundFontCache::~SoundFontCache()
{
    // The fonts themselves are left to the end of the process: a synthesiser
    // destroyed later than this object may still hold one.
    for (auto &[path, entry] : m_entries)
        if (entry->loader.joinable())
            entry->loader.join();
}

std::string SoundFontCache::defaultPath()
{
    for (const char *path : SearchList)
        if (isFile(path))
            return path;
    return {};
}

std::string SoundFontCache::songSoundFont(const std::string &songPath)
{
    const std::size_t slash = songPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : songPath.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? songPath : songPath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    if (base.empty())
        return {};
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    // Of several that differ only in letter case, the same order every time.
    std::vector<std::string> found;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate.size() == base.size() + 4 && ::strncasecmp(candidate.c_str(), base.c_str(), base.size()) == 0
            && (::strcasecmp(candidate.c_str() + base.size(), ".sf2") == 0
                || ::strcasecmp(candidate.c_str() + base.size(), ".sf3") == 0)) {
            const std::string path = (folder == "/" ? folder : folder + '/') + candidate;
            if (isFile(path.c_str()))
                found.push_back(path);
        }
    }
    ::closedir(dir);
    if (found.empty())
        return {};
    return *std::min_element(found.begin(), found.end());
}

void SoundFontCache::preload(const std::string &path)
{
    if (path.empty())
        return;
    std::lock_guard lock(m_mutex);
    start(path);
}

SoundFontCache::Entry &SoundFontCache::start(const std::string &path)
{
    auto &slot = m_entries[path];
    if (!slot) {
        slot = std::make_unique<Entry>();
        slot->loader = std::thread(&SoundFontCache::load, this, slot.get(), path);
    }
    return *slot;
}

void SoundFontCache::load(Entry *entry, std::string path)
{
    fluid_sfont_t *sfont = nullptr;
    std::string error;
    if (!isFile(path.c_str())) {
        error = "No SoundFont was found.";
    } else {
        // A synthesiser of its own owns the font and is never deleted, so the
        // font outlives every synthesiser it is lent to. It never plays, so it
        // is made as small as it can be. The samples are read from the file
        // only for the instruments a song selects: a General MIDI font is
        // mostly instruments a given song never plays.
        fluid_settings_t *settings = new_fluid_settings();
        fluid_settings_setint(settings, "synth.lock-memory", 0);
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings, "synth.polyphony", 1);
        fluid_settings_setint(settings, "synth.reverb.active", 0);
        fluid_settings_setint(settings, "synth.chorus.active", 0);
        fluid_settings_setnum(settings, "synth.sample-rate", 8000);
        fluid_synth_t *owner = settings ? new_fluid_synth(settings) : nullptr;
        const int id = owner ? fluid_synth_sfload(owner, path.c_str(), 0) : FLUID_FAILED;
        if (id != FLUID_FAILED)
            sfont = fluid_synth_get_sfont_by_id(owner, id);
        if (!sfont)
            error = "The SoundFont could not be loaded.";
    }
    std::lock_guard lock(m_mutex);
    entry->sfont = sfont;
    entry->error = error;
    entry->done = true;
    m_loaded.notify_all();
}

fluid_sfont_t *SoundFontCache::acquire(const std::string &path, std::string *error)
{
    if (path.empty()) {
        *error = "No SoundFont was found.";
        return nullptr;
    }
    std::unique_lock lock(m_mutex);
    Entry &entry = start(path);
    m_loaded.wait(lock, [&] { return entry.done; });
    if (!entry.sfont)
        *error = entry.error;
    return entry.sfont;
}
