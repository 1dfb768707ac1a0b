#include "browser/tdirectorylistbox.h"

TDirectoryListBox::TDirectoryListBox(QWidget *parent)
    : QListWidget(parent)
{
}

void TDirectoryListBox::setFileList(TFileListBox *fileList)
{
    m_fileList = fileList;
}
