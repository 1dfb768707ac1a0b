#include "browser/tdrivecombobox.h"

TDriveComboBox::TDriveComboBox(QWidget *parent)
    : QComboBox(parent)
{
}

void TDriveComboBox::setDirList(TDirectoryListBox *dirList)
{
    m_dirList = dirList;
}
