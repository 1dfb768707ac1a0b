// The file list: the song files of the current folder, several selectable.
#pragma once

#include <QByteArray>
#include <QList>
#include <QListWidget>

class FileList : public QListWidget
{
    Q_OBJECT

public:
    static constexpr int NameRole = Qt::UserRole; // the name's bytes
    static constexpr int BusyFrom = 100;          // index of the name that brings the hourglass

    explicit FileList(QWidget *parent = nullptr);

    // The current folder: absolute, without a trailing '/' except for "/".
    QByteArray Directory() const { return m_directory; }
    // Makes `folder` the current folder and the process's current folder and
    // lists it. A folder that cannot be entered or read leaves the list empty
    // and is reported through failed(); returns false then.
    bool setDirectory(const QByteArray &folder);

    void setMask(const QByteArray &mask); // lists the folder again
    QByteArray Mask() const { return m_mask; }

    // The names as listed, as bytes: all of them, or the selected ones, top
    // to bottom.
    QByteArray FileName(int row) const;
    QList<QByteArray> SelectedNames() const;

Q_SIGNALS:
    // A folder could not be listed; the text says which and why.
    void failed(const QString &text);

protected:
    // A drag of names offers their files' URLs to other programs.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QListWidgetItem *> &items) const override;
    // Copy and link only: a file manager must never move the songs away.
    Qt::DropActions supportedDropActions() const override;

private:
    // Returns the error text, empty on success.
    QString readFolder(const QByteArray &folder);

    QByteArray m_directory;
    QByteArray m_mask = QByteArrayLiteral("*.mid;*.rmi");
};
