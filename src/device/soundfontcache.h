// Loads General MIDI SoundFonts once per process, in the background, and
// lends the loaded font to every synthesiser that asks for it.
#pragma once

#include "device/deviceerror.h"

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
    // Waits for `path` to be loaded (starting the load if needed). Add it to
    // a synthesiser with fluid_synth_add_sfont and retain() it; take it out
    // with fluid_synth_remove_sfont and release() it before deleting that
    // synthesiser. Throws EDeviceError with the reason when it fails; a font
    // that failed is tried again at the next call (the file may have been
    // mended).
    fluid_sfont_t *acquire(const std::string &path);
    // The same for a font that is only wanted if it loads: nullptr when not.
    fluid_sfont_t *tryAcquire(const std::string &path);
    // A synthesiser took `sfont` in, or let it go. A font no synthesiser
    // uses any more is unloaded, so that only the fonts in use take memory.
    void retain(fluid_sfont_t *sfont);
    void release(fluid_sfont_t *sfont);

    // How many fonts are loaded now.
    std::size_t loadedCount();

    // Why a file cannot be a SoundFont, from its header; empty when it may be.
    static std::string checkHeader(const std::string &path);

    SoundFontCache(const SoundFontCache &) = delete;
    SoundFontCache &operator=(const SoundFontCache &) = delete;

private:
    struct Entry {
        std::thread loader;
        bool done = false;
        fluid_sfont_t *sfont = nullptr;
        fluid_synth_t *owner = nullptr;
        int users = 0;
        std::string error;
    };
    void erase(std::map<std::string, std::unique_ptr<Entry>>::iterator at); // with m_mutex held

    SoundFontCache();
    ~SoundFontCache();
    Entry &start(const std::string &path); // with m_mutex held
    void load(Entry *entry, std::string path);

    std::mutex m_mutex;
    std::condition_variable m_loaded;
    std::map<std::string, std::unique_ptr<Entry>> m_entries;
};
