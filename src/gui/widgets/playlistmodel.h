// The playlist view's model: row i shows entry i of Playlist, its name part
// in column 0 and its folder part in column 1. It is the array's one writer,
// so the view always matches it.
#pragma once

#include "core/playlist.h"

#include <QAbstractTableModel>

class PlaylistModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PlaylistModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Rows dragged out offer their files' URLs; nothing is ever moved. The
    // drag also carries RowsFormat, so the view can tell its own rows.
    static QString RowsFormat() { return QStringLiteral("application/x-quavette-playlist-rows"); }
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    void setColumnCaption(int column, const QString &caption);

    // Shows the array afresh, as after a replacement.
    void rebuild();
    void replace(QList<TQVTItem> items);
    void append(const QList<TQVTItem> &items);
    void remove(int row);
    void swap(int a, int b);
    void clear();

private:
    QString m_captions[2];
};
