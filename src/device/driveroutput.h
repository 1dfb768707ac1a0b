// The fallback output where no sound server runs: FluidSynth's own ALSA
// driver, with a short period so that a pause is heard at once. The driver is
// created when a song starts and deleted, by a thread that otherwise sleeps,
// once nothing plays and all is silent.
#pragma once

#include "device/audiooutput.h"

#include <fluidsynth.h>

#include <condition_variable>
#include <mutex>
#include <thread>

class DriverOutput final : public AudioOutput
{
public:
    // `settings` carries the driver's name and period; it must outlive this.
    DriverOutput(AudioSource *source, fluid_settings_t *settings, int sampleRate);
    ~DriverOutput() override;
    DriverOutput(const DriverOutput &) = delete;
    DriverOutput &operator=(const DriverOutput &) = delete;

    // Whether the driver can be opened at all (it is closed again at once).
    bool probe();

    void lock() override { m_mutex.lock(); }
    void unlock() override { m_mutex.unlock(); }
    bool start() override;
    bool isOpen() const override { return m_driver != nullptr; }
    std::optional<std::int64_t> fadeOutQueued(int) override { return std::nullopt; }
    int lead() const override { return 0; }

private:
    static int callback(void *data, int len, int nfx, float *fx[], int nout, float *out[]);
    void reap();

    AudioSource *const m_source;
    fluid_settings_t *const m_settings;
    const int m_rate;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    fluid_audio_driver_t *m_driver = nullptr;
    int m_silentFrames = 0;
    bool m_reapWanted = false;
    bool m_reaping = false;
    bool m_quit = false;
    std::thread m_reaper;
};
