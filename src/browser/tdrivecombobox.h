// The drive list: one line per mounted volume.
#pragma once

#include <QComboBox>

class TDirectoryListBox;

class TDriveComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TDriveComboBox(QWidget *parent = nullptr);
    // From now on choosing a line makes its volume current in the folder list.
    void setDirList(TDirectoryListBox *dirList);

private:
    TDirectoryListBox *m_dirList = nullptr;
};
