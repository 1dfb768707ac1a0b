#include "gui/widgets/folderlist.h"

#include "core/folderreader.h"
#include "core/paths.h"
#include "core/volumes.h"
#include "gui/messages.h"
#include "gui/widgets/browsericons.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/listlinedelegate.h"

#include <QKeyEvent>

FolderList::FolderList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new ListLineDelegate(16, this));
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *line) { Dispatch([&] { openLine(line); }); });

    for (const DriveLine &line : DriveLines(MountedVolumes()))
        m_roots.append(line.mountPoint);
    // An unreadable starting folder still shows its path, so the user can
    // climb out of it.
    m_directory = CurrentFolder();
    QList<QByteArray> subfolders;
    try {
        subfolders = ReadSubfolders(m_directory);
    } catch (const EFolderError &) {
    }
    rebuild(subfolders);
}

void FolderList::setFileList(FileList *fileList)
{
    m_fileList = fileList;
    if (m_fileList && m_fileList->Directory() != m_directory)
        m_fileList->setDirectory(m_directory);
}

bool FolderList::setDirectory(const QByteArray &folder)
{
    const QString error = trySetDirectory(folder);
    if (error.isEmpty())
        return true;
    Q_EMIT failed(error);
    return false;
}

QString FolderList::trySetDirectory(const QByteArray &folder)
{
    const QByteArray target = NormalizeFolder(folder);
    QList<QByteArray> subfolders;
    try {
        subfolders = ReadSubfolders(target);
    } catch (const EFolderError &e) {
        return e.message();
    }
    m_directory = target;
    rebuild(subfolders);
    if (m_fileList)
        m_fileList->setDirectory(m_directory);
    Q_EMIT directoryChanged(m_directory);
    return {};
}

void FolderList::setVolumeRoots(const QList<QByteArray> &roots)
{
    m_roots = roots;
    rebuild(m_subfolders);
}

QByteArray FolderList::RootOf(const QByteArray &folder) const
{
    return VolumeRootOf(folder, m_roots);
}

QByteArray FolderList::LinePath(int row) const
{
    const QListWidgetItem *line = item(row);
    return line ? line->data(PathRole).toByteArray() : QByteArray();
}

void FolderList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        QListWidgetItem *line = currentItem();
        Dispatch([&] { openLine(line); });
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderList::openLine(QListWidgetItem *line)
{
    if (line)
        setDirectory(line->data(PathRole).toByteArray());
}

void FolderList::rebuild(const QList<QByteArray> &subfolders)
{
    m_subfolders = subfolders;
    clear();
    const auto addLine = [this](const QString &text, const QByteArray &path, int level, BrowserPicture picture) {
        auto *line = new QListWidgetItem(BrowserIcon(picture), text);
        line->setData(PathRole, path);
        line->setData(ListLineDelegate::LevelRole, level);
        line->setData(Qt::AccessibleDescriptionRole, BrowserPictureDescription(picture));
        addItem(line);
    };

    const QByteArray root = RootOf(m_directory);
    const bool atRoot = m_directory == root;
    addLine(DecodePath(root), root, 0, atRoot ? BrowserPicture::CurrentFolder : BrowserPicture::OpenFolder);
    int level = 0;
    if (!atRoot) {
        const QList<QByteArray> parts = m_directory.mid(root.size()).split('/');
        QByteArray path = root;
        for (const QByteArray &part : parts) {
            if (part.isEmpty())
                continue;
            path = JoinPath(path, part);
            ++level;
            addLine(DecodePath(part), path,
                    level, path == m_directory ? BrowserPicture::CurrentFolder : BrowserPicture::OpenFolder);
        }
    }
    const int currentRow = count() - 1;
    for (const QByteArray &name : std::as_const(m_subfolders))
        addLine(DecodePath(name), JoinPath(m_directory, name), level + 1, BrowserPicture::ClosedFolder);
    setCurrentRow(currentRow);
}
