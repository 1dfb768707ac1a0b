// The folder list: the volume's root and the path down to the current
// folder, each one step further in, then the current folder's subfolders.
#pragma once

#include <QByteArray>
#include <QList>
#include <QListWidget>

class FileList;

class FolderList : public QListWidget
{
    Q_OBJECT

public:
    static constexpr int PathRole = Qt::UserRole; // the line's folder, as bytes

    explicit FolderList(QWidget *parent = nullptr);
    // From now on the file list follows this list's current folder.
    void setFileList(FileList *fileList);

    QByteArray Directory() const { return m_directory; }
    // Makes `folder` current and rebuilds the lines; the linked file list
    // follows. A folder that cannot be read changes nothing and is reported
    // through failed(); returns false then.
    bool setDirectory(const QByteArray &folder);
    // The same without the report: returns the error text, or empty.
    QString trySetDirectory(const QByteArray &folder);

    // The mount points that can be a root line (the drive list's volumes).
    void setVolumeRoots(const QList<QByteArray> &roots);
    QByteArray RootOf(const QByteArray &folder) const;

    QByteArray LinePath(int row) const;

Q_SIGNALS:
    void directoryChanged(const QByteArray &folder);
    // A folder could not be read; the text says which and why.
    void failed(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openLine(QListWidgetItem *line);
    void rebuild(const QList<QByteArray> &subfolders);

    FileList *m_fileList = nullptr;
    QByteArray m_directory;
    QList<QByteArray> m_roots;
    QList<QByteArray> m_subfolders;
};
