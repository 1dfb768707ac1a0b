// Collects what the file-pane lists report through their failed() signal.
#pragma once

#include <QObject>
#include <QStringList>

struct FailureLog {
    QStringList texts;

    template <typename List>
    List &watch(List &list)
    {
        QObject::connect(&list, &List::failed, [this](const QString &text) { texts.append(text); });
        return list;
    }
};
