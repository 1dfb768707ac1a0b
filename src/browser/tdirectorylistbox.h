// The folder list: the path from the root down to the current folder, then
// the current folder's subfolders.
#pragma once

#include <QListWidget>

class TFileListBox;

class TDirectoryListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit TDirectoryListBox(QWidget *parent = nullptr);
    // From now on the file list follows this list's current folder.
    void setFileList(TFileListBox *fileList);

private:
    TFileListBox *m_fileList = nullptr;
};
