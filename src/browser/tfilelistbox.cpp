#include "browser/tfilelistbox.h"

TFileListBox::TFileListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}
