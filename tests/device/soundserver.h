// A private PulseAudio server with a null sink for one test process, so that
// the real audio output meets a real sound server without a sound card, and
// the test can ask the server which streams are open.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

class SoundServer
{
public:
    SoundServer()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        start();
        const QByteArray server = "unix:" + m_dir.path().toLocal8Bit() + "/pulse/native";
        setenv("PULSE_SERVER", server.constData(), 1);
        m_env.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(server));
    }
    ~SoundServer()
    {
        if (m_running)
            run(QStringLiteral("pulseaudio"), {QStringLiteral("--kill")});
    }
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    bool running() const { return m_running; }

    // The server going away and coming back, as when a user restarts it.
    bool start()
    {
        m_running = run(QStringLiteral("pulseaudio"),
                        {QStringLiteral("-D"), QStringLiteral("--exit-idle-time=-1"), QStringLiteral("-n"),
                         QStringLiteral("--load=module-null-sink sink_name=test rate=44100"),
                         QStringLiteral("--load=module-native-protocol-unix")});
        return m_running;
    }
    bool kill()
    {
        m_running = !run(QStringLiteral("pulseaudio"), {QStringLiteral("--kill")});
        return !m_running;
    }

    // Playback streams open on the server.
    int streams()
    {
        QProcess pactl;
        pactl.setProcessEnvironment(m_env);
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
        if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
            return -1;
        return int(pactl.readAllStandardOutput().count('\n'));
    }

    // Polls `condition` until it holds or `seconds` have passed.
    static bool waitFor(const std::function<bool()> &condition, double seconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

private:
    bool run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(program, arguments);
        return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    bool m_running = false;
};
