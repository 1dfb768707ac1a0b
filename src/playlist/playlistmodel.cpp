#include "playlist/playlistmodel.h"

TPlaylistModel::TPlaylistModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_captions{QStringLiteral("File name"), QStringLiteral("Path")}
{
}

int TPlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(Playlist.Items.size());
}

int TPlaylistModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TPlaylistModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= Playlist.Items.size())
        return {};
    const QByteArray &path = Playlist.Items.at(index.row()).Path;
    return DecodePath(SplitPath(path, index.column() == 0 ? PathPart::Name : PathPart::Folder));
}

QVariant TPlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2)
        return m_captions[section];
    return {};
}

Qt::ItemFlags TPlaylistModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TPlaylistModel::setColumnCaption(int column, const QString &caption)
{
    m_captions[column] = caption;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void TPlaylistModel::rebuild()
{
    beginResetModel();
    endResetModel();
}

void TPlaylistModel::append(const QList<TQVTItem> &items)
{
    if (items.isEmpty())
        return;
    const int first = int(Playlist.Items.size());
    beginInsertRows({}, first, first + int(items.size()) - 1);
    Playlist.Items.append(items);
    endInsertRows();
}

void TPlaylistModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    Playlist.Items.removeAt(row);
    endRemoveRows();
}

void TPlaylistModel::swap(int a, int b)
{
    Playlist.Items.swapItemsAt(a, b);
    const int top = std::min(a, b);
    const int bottom = std::max(a, b);
    Q_EMIT dataChanged(index(top, 0), index(bottom, 1));
}

void TPlaylistModel::clear()
{
    beginResetModel();
    Playlist.Items.clear();
    endResetModel();
}
