// The real output on PipeWire's PulseAudio service, which runs its graph in
// periods of the latency a stream asks for and reports none of it: the stream
// must ask for a period short enough for Play and resume to sound at once.
#include "readattempt.h"
#include "renderclock.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QByteArray Corpus = QUAVETTE_TEST_DATA "/midi/";

// PipeWire, its session manager and its PulseAudio service, private to the
// test, with a null sink.
class PipeWire
{
public:
    PipeWire()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_env.insert(QStringLiteral("PIPEWIRE_RUNTIME_DIR"), m_dir.path());
        // The session manager needs a session bus: a private one.
        auto bus = std::make_unique<QProcess>();
        bus->start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!bus->waitForReadyRead(5000)) {
            why = " (no session bus)";
            return;
        }
        m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(bus->readLine().trimmed()));
        m_processes.push_back(std::move(bus));
        for (const char *program : {"pipewire", "wireplumber", "pipewire-pulse"}) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(m_env);
            process->start(QString::fromLatin1(program), {});
            if (!process->waitForStarted(5000)) {
                why = " (" + std::string(program) + " did not start)";
                return;
            }
            m_processes.push_back(std::move(process));
            // The others connect to PipeWire's socket.
            for (int i = 0; i < 100 && !QFileInfo::exists(m_dir.filePath(QStringLiteral("pipewire-0"))); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const QByteArray server = "unix:" + m_dir.path().toLocal8Bit() + "/pulse/native";
        setenv("PULSE_SERVER", server.constData(), 1);
        m_env.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(server));
        for (int i = 0; i < 100 && !pactl({QStringLiteral("info")}); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_running = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                           QStringLiteral("sink_name=test"), QStringLiteral("rate=44100")})
            && pactl({QStringLiteral("set-default-sink"), QStringLiteral("test")});
        if (!m_running)
            why = " (no null sink on its PulseAudio service)";
    }
    ~PipeWire()
    {
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(5000))
                (*it)->kill();
        }
    }
    bool running() const { return m_running; }
    std::string why;

    std::optional<QString> pactl(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(QStringLiteral("pactl"), arguments);
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    bool m_running = false;
};

TEST(PipeWireOutput, AsksForAShortPeriodAndPlays)
{
    PipeWire server;
    if (!server.running())
        GTEST_SKIP() << "PipeWire could not be started" << server.why;
    FluidSequencer::Options options;
    options.soundFont = TestSoundFont;
    FluidSequencer seq(options);
    ASSERT_EQ(OpenError(seq, Corpus + "jazzsoft__test-c-major-scale.mid"), QString());
    ASSERT_TRUE(seq.play());
    const std::optional<QString> inputs = server.pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")});
    ASSERT_TRUE(inputs);
    const QRegularExpressionMatch latency =
        QRegularExpression(QStringLiteral("node.latency = \"(\\d+)/(\\d+)\"")).match(*inputs);
    ASSERT_TRUE(latency.hasMatch()) << inputs->toStdString();
    // A period of at most 12 ms.
    EXPECT_LE(latency.captured(1).toDouble() / latency.captured(2).toDouble(), 0.012) << latency.captured(0).toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_GT(seq.position(), 200);
}

} // namespace
