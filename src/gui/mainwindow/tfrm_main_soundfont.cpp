// The main window's choice of SoundFont: Option > "Sound&Font...", the
// stored choice at start, and SoundFonts dropped on the window.
#include "gui/mainwindow/tfrm_main.h"

#include "core/paths.h"
#include "device/tmediaplayer.h"
#include "gui/messages.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray runSoundFontDialog(QWidget *parent, const QByteArray &initial)
{
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("SoundFontDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Qt's dialog matches patterns without regard to letter case.
    dialog.setNameFilter(QStringLiteral("SoundFont (*.sf2 *.sf3)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!initial.isEmpty())
        dialog.setDirectory(QFileInfo(QFile::decodeName(initial)).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(dialog.selectedFiles().constFirst());
}

// Why the file at `path` cannot be read at all; empty when it can. Opened
// without blocking, so that a FIFO there cannot hang the window.
QString unreadable(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular ? QString() : QStringLiteral("It is not a file.");
}

// The reasons the sequencer and the check above give, in the interface's
// language; one the table does not know (the system's own) is shown as
// it is.
QString reasonIn(Language language, const QString &reason)
{
    if (language == Language::English)
        return reason;
    static const std::pair<const char *, const char *> Japanese[] = {
        {"No SoundFont was found.", "サウンドフォントが見つかりません。"},
        {"The SoundFont file cannot be read.", "サウンドフォントのファイルを読めません。"},
        {"The file is not a SoundFont (it has no RIFF sfbk header).",
         "サウンドフォントのファイルではありません (RIFF sfbk ヘッダーがありません)。"},
        {"The SoundFont file is truncated.", "サウンドフォントのファイルが途中で切れています。"},
        {"The SoundFont could not be loaded.", "サウンドフォントを読み込めませんでした。"},
        {"The synthesiser could not be started.", "シンセサイザーを起動できませんでした。"},
        {"It is not a file.", "ファイルではありません。"},
    };
    for (const auto &[english, japanese] : Japanese) {
        if (reason == QLatin1String(english))
            return QString::fromUtf8(japanese);
    }
    return reason;
}

} // namespace

void TFrm_main::SoundFont1Click()
{
    const QByteArray chosen = SoundFontDialog(MediaPlayer->soundFont());
    if (!chosen.isEmpty())
        ChooseSoundFont(chosen);
}

void TFrm_main::ChooseSoundFont(const QByteArray &path)
{
    loadSoundFont(path, false);
}

void TFrm_main::loadSoundFont(const QByteArray &path, bool stored)
{
    const QString problem = unreadable(path);
    if (!problem.isEmpty()) {
        soundFontLoaded(path, problem, stored);
        return;
    }
    // The answer comes from the loading thread; the window outlives it, as
    // the media player waits for its loads as it goes.
    MediaPlayer->setSoundFont(path, [this, path, stored](const QString &error) {
        QMetaObject::invokeMethod(
            this, [this, path, error, stored] { Dispatch([&] { soundFontLoaded(path, error, stored); }); },
            Qt::QueuedConnection);
    });
}

void TFrm_main::UseStoredSoundFont(const QString &stored)
{
    if (stored.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(stored);
    // Kept as it is even when it does not load: a font on a disk that is
    // not mounted works again once the disk is back.
    m_soundFontSetting = path;
    loadSoundFont(path, true);
}

void TFrm_main::soundFontLoaded(const QByteArray &path, const QString &error, bool stored)
{
    if (error.isEmpty()) {
        m_soundFontSetting = path;
        return;
    }
    const QString name = DecodePath(path);
    const QString why = reasonIn(language(), error);
    if (!stored) {
        ShowErrorMessage(English1->isChecked()
                             ? QStringLiteral("Cannot use the SoundFont : %1\n%2").arg(name, why)
                             : QStringLiteral("%1 をサウンドフォントとして使えません\n%2").arg(name, why));
        return;
    }
    m_soundFontNotice = English1->isChecked()
        ? QStringLiteral("Cannot use the SoundFont : %1\n%2\nThe default SoundFont is used.").arg(name, why)
        : QStringLiteral("%1 をサウンドフォントとして使えません\n%2\n既定のサウンドフォントを使います。").arg(name, why);
    if (m_played)
        showSoundFontNotice();
}

void TFrm_main::showSoundFontNotice()
{
    m_played = true;
    if (m_soundFontNotice.isEmpty())
        return;
    const QString notice = m_soundFontNotice;
    m_soundFontNotice.clear();
    ShowErrorMessage(notice);
}

void TFrm_main::wireSoundFontHandlers()
{
    connectCommand(SoundFont1, &TFrm_main::SoundFont1Click);
    if (!SoundFontDialog)
        SoundFontDialog = [this](const QByteArray &initial) { return runSoundFontDialog(this, initial); };
}
