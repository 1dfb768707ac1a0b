// Loads General MIDI SoundFonts once per process, in the background, and
// lends the loaded font to every synthesiser that asks for it.
#pragma once

#include <fluidsynth.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class SoundFontCache
{
public:
    static SoundFontCache &instance();

    // The first SoundFont of the discovery list that exists; empty when none.
    static std::string defaultPath();
    // A song's own SoundFont: the .sf2 or .sf3 file beside `songPath` with
    // its base name, letter case ignored; empty when there is none.
    static std::string songSoundFont(const std::string &songPath);

    // Starts loading `path` in the background unless it is loaded or loading.
    void preload(const std::string &path);
    // Waits for `path` to be loaded (starting the load if needed). The font
    // stays loaded for the life of the process; add it to a synthesiser with
    // fluid_synth_add_sfont and take it out with fluid_synth_remove_sfont
    // before deleting that synthesiser. nullptr and a text when it fails.
    fluid_sfont_t *acquire(const std::string &path, std::string *error);

    SoundFontCache(const SoundFontCache &) = delete;
    SoundFontCache &operator=(const SoundFontCache &) = delete;

private:
    struct Entry {
        std::thread loader;
        bool done = false;
        fluid_sfont_t *sfont = nullptr;
        std::string error;
    };

    SoundFontCache();
    ~SoundFontCache();
    Entry &start(const std::string &path); // with m_mutex held
    void load(Entry *entry, std::string path);

    std::mutex m_mutex;
    std::condition_variable m_loaded;
    std::map<std::string, std::unique_ptr<Entry>> m_entries;
};
