#include "gui/widgets/filelist.h"

#include "core/fileurl.h"
#include "core/paths.h"
#include "core/folderreader.h"
#include "gui/widgets/listlinedelegate.h"

#include <QGuiApplication>

namespace {
// Restores the pointer however the listing ends.
class BusyPointer
{
public:
    void show()
    {
        if (!m_shown)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_shown = true;
    }
    ~BusyPointer()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool m_shown = false;
};
} // namespace

FileList::FileList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setItemDelegate(new ListLineDelegate(12, this));
    // The process's current folder at creation; a failure here stays quiet,
    // the list simply starts empty.
    const QByteArray start = CurrentFolder();
    m_directory = start;
    readFolder(start);
}

bool FileList::setDirectory(const QByteArray &folder)
{
    const QString error = readFolder(NormalizeFolder(folder));
    if (error.isEmpty())
        return true;
    Q_EMIT failed(error);
    return false;
}

void FileList::setMask(const QByteArray &mask)
{
    m_mask = mask;
    setDirectory(m_directory);
}

QString FileList::readFolder(const QByteArray &folder)
{
    m_directory = folder;
    clear();
    // The slow part is the reading (a large or remote folder): the pointer
    // turns once the 101st name is found and stays until the list is filled
    // or the reading has failed.
    BusyPointer busy;
    QList<QByteArray> names;
    try {
        ChangeFolder(folder);
        names = ReadMatchingFiles(folder, m_mask, [&busy](qsizetype found) {
            if (found == BusyFrom + 1)
                busy.show();
        });
    } catch (const EFolderError &e) {
        return e.message();
    }
    for (const QByteArray &name : std::as_const(names)) {
        auto *item = new QListWidgetItem(DecodePath(name));
        item->setData(NameRole, name);
        addItem(item);
    }
    return {};
}

QByteArray FileList::FileName(int row) const
{
    const QListWidgetItem *line = item(row);
    return line ? line->data(NameRole).toByteArray() : QByteArray();
}

QList<QByteArray> FileList::SelectedNames() const
{
    QList<QByteArray> names;
    for (int row = 0; row < count(); ++row) {
        const QListWidgetItem *line = item(row);
        if (line->isSelected())
            names.append(line->data(NameRole).toByteArray());
    }
    return names;
}

QStringList FileList::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *FileList::mimeData(const QList<QListWidgetItem *> &items) const
{
    // Top to bottom, as Add takes them.
    QList<QByteArray> paths;
    for (int row = 0; row < count(); ++row) {
        if (items.contains(item(row)))
            paths.append(JoinPath(m_directory, FileName(row)));
    }
    return FileUrlsMimeData(paths);
}

Qt::DropActions FileList::supportedDropActions() const
{
    return Qt::CopyAction | Qt::LinkAction;
}
