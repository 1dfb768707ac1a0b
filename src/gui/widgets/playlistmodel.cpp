#include "gui/widgets/playlistmodel.h"

#include "core/fileurl.h"

#include <QMimeData>
#include <set>

PlaylistModel::PlaylistModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int PlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(Playlist.Items.size());
}

int PlaylistModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= Playlist.Items.size())
        return {};
    const QByteArray &path = Playlist.Items.at(index.row()).Path;
    return DecodePath(SplitPath(path, index.column() == 0 ? PathPart::Name : PathPart::Folder));
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2)
        return m_captions[section];
    return {};
}

Qt::ItemFlags PlaylistModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled : Qt::NoItemFlags;
}

QStringList PlaylistModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), RowsFormat()};
}

QMimeData *PlaylistModel::mimeData(const QModelIndexList &indexes) const
{
    std::set<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && index.row() < Playlist.Items.size())
            rows.insert(index.row());
    }
    QList<QByteArray> paths;
    for (int row : rows)
        paths.append(Playlist.Items.at(row).Path);
    QMimeData *data = FileUrlsMimeData(paths);
    data->setData(RowsFormat(), QByteArrayLiteral("1"));
    return data;
}

Qt::DropActions PlaylistModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

void PlaylistModel::setColumnCaption(int column, const QString &caption)
{
    m_captions[column] = caption;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void PlaylistModel::rebuild()
{
    beginResetModel();
    endResetModel();
}

void PlaylistModel::replace(QList<TQVTItem> items)
{
    beginResetModel();
    Playlist.Items = std::move(items);
    endResetModel();
}

void PlaylistModel::append(const QList<TQVTItem> &items)
{
    if (items.isEmpty())
        return;
    const int first = int(Playlist.Items.size());
    beginInsertRows({}, first, first + int(items.size()) - 1);
    Playlist.Items.append(items);
    endInsertRows();
}

void PlaylistModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    Playlist.Items.removeAt(row);
    endRemoveRows();
}

void PlaylistModel::swap(int a, int b)
{
    Playlist.Items.swapItemsAt(a, b);
    const int top = std::min(a, b);
    const int bottom = std::max(a, b);
    Q_EMIT dataChanged(index(top, 0), index(bottom, 1));
}

void PlaylistModel::clear()
{
    beginResetModel();
    Playlist.Items.clear();
    endResetModel();
}
