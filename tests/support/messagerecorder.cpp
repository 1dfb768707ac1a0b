#include "support/messagerecorder.h"

MessageRecorder::MessageRecorder()
{
    SetMessageHook([this](const MessageRequest &r) {
        boxes << r;
        if (onShow)
            onShow(r);
        return answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHook({});
}

QStringList MessageRecorder::texts() const
{
    QStringList out;
    for (const auto &b : boxes)
        out << b.text;
    return out;
}
