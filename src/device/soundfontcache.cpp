#include "device/soundfontcache.h"

#include <dirent.h>
#include <strings.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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
    fluid_synth_t *owner = nullptr;
    std::string error;
    if (!isFile(path.c_str())) {
        error = "No SoundFont was found.";
    } else if (error = checkHeader(path); error.empty()) {
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
        owner = settings ? new_fluid_synth(settings) : nullptr;
        const int id = owner ? fluid_synth_sfload(owner, path.c_str(), 0) : FLUID_FAILED;
        if (id != FLUID_FAILED)
            sfont = fluid_synth_get_sfont_by_id(owner, id);
        if (!sfont)
            error = "The SoundFont could not be loaded.";
    }
    std::lock_guard lock(m_mutex);
    entry->sfont = sfont;
    entry->owner = owner;
    entry->error = error;
    entry->done = true;
    m_loaded.notify_all();
}

fluid_sfont_t *SoundFontCache::acquire(const std::string &path)
{
    if (path.empty())
        throw EDeviceError("No SoundFont was found.");
    std::unique_lock lock(m_mutex);
    Entry &entry = start(path);
    m_loaded.wait(lock, [&] { return entry.done; });
    fluid_sfont_t *sfont = entry.sfont;
    if (!sfont) {
        const std::string error = entry.error;
        erase(m_entries.find(path));
        throw EDeviceError(error);
    }
    return sfont;
}

fluid_sfont_t *SoundFontCache::tryAcquire(const std::string &path)
{
    try {
        return acquire(path);
    } catch (const EDeviceError &) {
        return nullptr;
    }
}

void SoundFontCache::retain(fluid_sfont_t *sfont)
{
    std::lock_guard lock(m_mutex);
    for (auto &[path, entry] : m_entries) {
        if (entry->sfont == sfont)
            ++entry->users;
    }
}

void SoundFontCache::release(fluid_sfont_t *sfont)
{
    std::lock_guard lock(m_mutex);
    for (auto at = m_entries.begin(); at != m_entries.end(); ++at) {
        if (at->second->sfont == sfont && --at->second->users <= 0) {
            erase(at);
            return;
        }
    }
}

void SoundFontCache::erase(std::map<std::string, std::unique_ptr<Entry>>::iterator at)
{
    Entry &entry = *at->second;
    if (entry.loader.joinable())
        entry.loader.join();
    // The synthesiser that owns the font takes it, and its samples, along.
    if (entry.owner) {
        fluid_settings_t *settings = fluid_synth_get_settings(entry.owner);
        delete_fluid_synth(entry.owner);
        delete_fluid_settings(settings);
    }
    m_entries.erase(at);
    // A font's samples are many large blocks; freed, the allocator keeps
    // them for later unless asked to give them back. A font chosen instead
    // of a larger one would otherwise leave the program as large as before.
    malloc_trim(0);
}

std::string SoundFontCache::checkHeader(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "The SoundFont file cannot be read.";
    unsigned char header[12] = {};
    struct stat info {};
    const bool read = ::read(fd, header, sizeof header) == ssize_t(sizeof header) && ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!read || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "sfbk", 4) != 0)
        return "The file is not a SoundFont (it has no RIFF sfbk header).";
    const std::uint64_t riffSize = std::uint64_t(header[4]) | std::uint64_t(header[5]) << 8
        | std::uint64_t(header[6]) << 16 | std::uint64_t(header[7]) << 24;
    if (riffSize + 8 > std::uint64_t(info.st_size))
        return "The SoundFont file is truncated.";
    return {};
}

std::size_t SoundFontCache::loadedCount()
{
    std::lock_guard lock(m_mutex);
    return std::size_t(std::count_if(m_entries.begin(), m_entries.end(),
                                     [](const auto &entry) { return entry.second->done && entry.second->sfont; }));
}
