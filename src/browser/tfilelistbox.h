// The file list: the song files of the current folder.
#pragma once

#include <QByteArray>
#include <QListWidget>

class TFileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit TFileListBox(QWidget *parent = nullptr);
};
