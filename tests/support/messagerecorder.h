// Records every message box the program asks for and answers it.
#pragma once

#include "gui/messages.h"

#include <QList>

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();

    QList<MessageRequest> boxes;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    std::function<void(const MessageRequest &)> onShow; // runs while the box is "open"

    QStringList texts() const;
    void clear() { boxes.clear(); }
};
