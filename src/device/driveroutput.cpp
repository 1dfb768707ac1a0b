#include "device/driveroutput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr float SilencePeak = 2e-5f;
}

DriverOutput::DriverOutput(AudioSource *source, fluid_settings_t *settings, int sampleRate)
    : m_source(source)
    , m_settings(settings)
    , m_rate(sampleRate)
{
}

DriverOutput::~DriverOutput()
{
    fluid_audio_driver_t *driver = nullptr;
    {
        std::unique_lock lock(m_mutex);
        m_quit = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_reaping; });
        std::swap(driver, m_driver);
    }
    if (m_reaper.joinable())
        m_reaper.join();
    if (driver)
        delete_fluid_audio_driver(driver);
}

bool DriverOutput::probe()
{
    fluid_audio_driver_t *driver = new_fluid_audio_driver2(m_settings, &DriverOutput::callback, this);
    if (!driver)
        return false;
    delete_fluid_audio_driver(driver);
    return true;
}

bool DriverOutput::start()
{
    // Called with the lock held: wait for a driver being deleted to be gone.
    std::unique_lock lock(m_mutex, std::adopt_lock);
    m_changed.wait(lock, [&] { return !m_reaping; });
    lock.release();
    m_silentFrames = 0;
    m_reapWanted = false;
    if (!m_driver)
        m_driver = new_fluid_audio_driver2(m_settings, &DriverOutput::callback, this);
    if (m_driver && !m_reaper.joinable())
        m_reaper = std::thread(&DriverOutput::reap, this);
    return m_driver != nullptr;
}

int DriverOutput::callback(void *data, int len, int, float *[], int nout, float *out[])
{
    auto *self = static_cast<DriverOutput *>(data);
    if (nout < 2) {
        for (int i = 0; i < nout; ++i)
            std::memset(out[i], 0, sizeof(float) * std::size_t(len));
        return FLUID_OK;
    }
    std::lock_guard lock(self->m_mutex);
    for (int done = 0; done < len;) {
        const int n = self->m_source->renderAudio(len - done, out[0] + done, out[1] + done);
        done += std::max(n, 1);
    }
    float peak = 0;
    for (int i = 0; i < len; ++i)
        peak = std::max({peak, std::fabs(out[0][i]), std::fabs(out[1][i])});
    self->m_silentFrames = peak < SilencePeak ? self->m_silentFrames + len : 0;
    if (!self->m_source->songPlaying() && self->m_silentFrames >= self->m_rate && !self->m_reapWanted) {
        self->m_reapWanted = true;
        self->m_changed.notify_all();
    }
    return FLUID_OK;
}

// Deletes the driver off its own thread, which deleting it joins.
void DriverOutput::reap()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_reapWanted || m_quit; });
        if (m_quit)
            return;
        m_reapWanted = false;
        fluid_audio_driver_t *driver = nullptr;
        std::swap(driver, m_driver);
        m_reaping = true;
        lock.unlock();
        if (driver)
            delete_fluid_audio_driver(driver);
        lock.lock();
        m_reaping = false;
        m_changed.notify_all();
    }
}
