// The main window's playlist files: "&Open...", "&Save", "Save &As..." and
// the automatic list "list.qvt" read at start-up and written at close.
#include "gui/mainwindow/tfrm_main.h"

#include "core/paths.h"
#include "core/qvtfile.h"
#include "gui/messages.h"
#include "gui/widgets/playlistmodel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Qt reads the patterns from the last brackets; the label keeps the program's
// text. Qt's dialog matches patterns without regard to letter case.
const QString PlaylistFilter = QStringLiteral("qvt File(*.qvt) (*.QVT)");

QByteArray automaticPlaylistPath()
{
    return ProgramFolder + "list.qvt";
}

QByteArray runFileDialog(QWidget *parent, bool save, const QByteArray &initial)
{
    QFileDialog dialog(parent);
    dialog.setObjectName(save ? QStringLiteral("SaveDialog") : QStringLiteral("OpenDialog"));
    // Qt's own dialog: the same on every desktop, and one tests can drive.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(PlaylistFilter);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!initial.isEmpty())
        dialog.selectFile(QFile::decodeName(initial));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(dialog.selectedFiles().constFirst());
}

// Moves an automatic list that could not be read as it was written out of
// the way of the close, which rewrites "list.qvt". Earlier copies stay: the
// first free name of list.qvt.bak, list.qvt.bak.1, list.qvt.bak.2, ... is
// taken. Returns what became of the file, for the message.
QString keepUnreadableList(const QByteArray &path)
{
    int error = EEXIST;
    QByteArray kept;
    for (int n = 0; n < 10000 && error == EEXIST; ++n) {
        kept = path + ".bak" + (n == 0 ? QByteArray() : "." + QByteArray::number(n));
        if (::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, kept.constData(), RENAME_NOREPLACE) == 0)
            return QStringLiteral("the file was kept as %1").arg(DecodePath(kept));
        error = errno;
        // A file system that cannot rename without replacing can still link.
        if (error == EINVAL) {
            if (::link(path.constData(), kept.constData()) == 0) {
                ::unlink(path.constData());
                return QStringLiteral("the file was kept as %1").arg(DecodePath(kept));
            }
            error = errno;
        }
    }
    return QStringLiteral("the file could not be kept as %1: %2").arg(DecodePath(kept), qt_error_string(error));
}

} // namespace

bool TFrm_main::ReadPlaylistFile(const QByteArray &fileName)
{
    QvtReadResult result = ReadQvtFile(fileName);
    switch (result.status) {
    case QvtReadStatus::NothingRead:
        break;
    case QvtReadStatus::BadFile:
        ShowErrorMessage(QStringLiteral("Bad file"));
        return false;
    case QvtReadStatus::Read:
        Model->replace(std::move(result.items));
        break;
    }
    return true;
}

void TFrm_main::WritePlaylistFile(const QByteArray &fileName)
{
    WriteQvtFile(fileName, Playlist.Items);
}

void TFrm_main::Open1Click()
{
    const QByteArray chosen = OpenDialog(CurrentListFile);
    if (chosen.isEmpty())
        return;
    OpenPlaylist(chosen);
}

void TFrm_main::OpenPlaylist(const QByteArray &chosen)
{
    runIfEnabled(Btn_Stop, &TFrm_main::Btn_StopClick);
    // After "Bad file" the file must not become the current one, or the
    // next Save would overwrite it with the list that is still shown.
    if (!ReadPlaylistFile(chosen))
        return;
    RebuildPlaylistView();
    CurrentListFile = chosen;
    Save1->setEnabled(true);
    SaveAs1->setEnabled(true);
    SetTitles(TitleWith(DecodePath(chosen)));
}

void TFrm_main::Save1Click()
{
    // Enabled only after Open or Save As, which name the file.
    if (CurrentListFile.isEmpty())
        return;
    WritePlaylistFile(CurrentListFile);
}

void TFrm_main::SaveAs1Click()
{
    QByteArray chosen = SaveDialog(CurrentListFile);
    if (chosen.isEmpty())
        return;
    // A dot anywhere, a folder's included, counts as an extension.
    if (!chosen.contains('.'))
        chosen += ".qvt";
    CurrentListFile = chosen;
    WritePlaylistFile(CurrentListFile);
    Save1->setEnabled(true);
    SetTitles(TitleWith(DecodePath(CurrentListFile)));
}

void TFrm_main::ReadAutomaticPlaylist()
{
    if (!N6->isChecked())
        return;
    const QByteArray path = automaticPlaylistPath();
    QvtReadResult result;
    try {
        result = ReadQvtFile(path);
    } catch (const EPlaylistFileError &e) {
        throw EPlaylistFileError(QString::fromUtf8(e.what()) + QStringLiteral("; ") + keepUnreadableList(path));
    }
    switch (result.status) {
    case QvtReadStatus::NothingRead:
        break;
    case QvtReadStatus::BadFile: {
        const QString kept = keepUnreadableList(path);
        ShowErrorMessage(QStringLiteral("Bad file\n\n") + kept[0].toUpper() + kept.mid(1) + QLatin1Char('.'));
        break;
    }
    case QvtReadStatus::Read:
        // Lines of the older layout that gave no path would be lost when the
        // close rewrites the file.
        if (result.unreadLines > 0)
            ShowToolkitError(QStringLiteral("Some lines of the playlist file %1 hold no path that can be read; %2")
                                 .arg(DecodePath(path), keepUnreadableList(path)));
        Model->replace(std::move(result.items));
        break;
    }
    RebuildPlaylistView();
}

void TFrm_main::WriteAutomaticPlaylist()
{
    if (!N6->isChecked())
        return;
    // The folder is made at start-up; it may have gone since.
    if (!ProgramFolder.isEmpty())
        QDir().mkpath(QFile::decodeName(ProgramFolder));
    WritePlaylistFile(automaticPlaylistPath());
}

void TFrm_main::wirePlaylistFileHandlers()
{
    ConnectHandler(Open1, &QAction::triggered, this, &TFrm_main::Open1Click);
    ConnectHandler(Save1, &QAction::triggered, this, &TFrm_main::Save1Click);
    ConnectHandler(SaveAs1, &QAction::triggered, this, &TFrm_main::SaveAs1Click);
    if (!OpenDialog)
        OpenDialog = [this](const QByteArray &initial) { return runFileDialog(this, false, initial); };
    if (!SaveDialog)
        SaveDialog = [this](const QByteArray &initial) { return runFileDialog(this, true, initial); };
}
