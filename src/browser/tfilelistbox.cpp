#include "browser/tfilelistbox.h"

#include "app/messages.h"
#include "browser/folderreader.h"
#include "browser/tlistlinedelegate.h"
#include "playlist/playlist.h"

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

TFileListBox::TFileListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setItemDelegate(new TListLineDelegate(12, this));
    // The process's current folder at creation; a failure here stays quiet,
    // the list simply starts empty.
    const QByteArray start = CurrentFolder();
    m_directory = start;
    readFolder(start);
}

bool TFileListBox::setDirectory(const QByteArray &folder)
{
    const QString error = readFolder(NormalizeFolder(folder));
    if (error.isEmpty())
        return true;
    ShowErrorMessage(error);
    return false;
}

void TFileListBox::setMask(const QByteArray &mask)
{
    m_mask = mask;
    setDirectory(m_directory);
}

QString TFileListBox::readFolder(const QByteArray &folder)
{
    m_directory = folder;
    clear();
    QList<QByteArray> names;
    try {
        ChangeFolder(folder);
        names = ReadMatchingFiles(folder, m_mask);
    } catch (const EFolderError &e) {
        return e.message();
    }
    BusyPointer busy;
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto *item = new QListWidgetItem(DecodePath(names.at(i)));
        item->setData(NameRole, names.at(i));
        addItem(item);
        if (i == BusyFrom)
            busy.show();
    }
    return {};
}

QByteArray TFileListBox::FileName(int row) const
{
    const QListWidgetItem *line = item(row);
    return line ? line->data(NameRole).toByteArray() : QByteArray();
}

QList<QByteArray> TFileListBox::SelectedNames() const
{
    QList<QByteArray> names;
    for (int row = 0; row < count(); ++row) {
        const QListWidgetItem *line = item(row);
        if (line->isSelected())
            names.append(line->data(NameRole).toByteArray());
    }
    return names;
}
