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

#include <cstdio>

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

// Keeps an automatic list that could not be read, so that the close, which
// rewrites "list.qvt", does not lose it. An older copy is replaced.
void keepUnreadableList(const QByteArray &path)
{
    std::rename(path.constData(), (path + ".bak").constData());
}

} // namespace

void TFrm_main::ReadPlaylistFile(const QByteArray &fileName)
{
    QvtReadResult result = ReadQvtFile(fileName);
    switch (result.status) {
    case QvtReadStatus::NothingRead:
        break;
    case QvtReadStatus::BadFile:
        ShowErrorMessage(QStringLiteral("Bad file"));
        break;
    case QvtReadStatus::Read:
        Model->replace(std::move(result.items));
        break;
    }
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
    if (Btn_Stop->isEnabled())
        Btn_StopClick();
    ReadPlaylistFile(chosen);
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
    } catch (const PlaylistFileError &) {
        keepUnreadableList(path);
        throw;
    }
    switch (result.status) {
    case QvtReadStatus::NothingRead:
        break;
    case QvtReadStatus::BadFile:
        keepUnreadableList(path);
        ShowErrorMessage(QStringLiteral("Bad file"));
        break;
    case QvtReadStatus::Read:
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
