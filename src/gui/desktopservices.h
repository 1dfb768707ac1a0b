// The desktop services around the two windows, beyond the design: media
// controls on the session bus, the files of the command line, and the files
// of later starts that the one-instance socket brings.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

class MprisService;
class SingleInstance;

// Shows the main window in front and gives it the focus, as a person
// switching to it would.
void RaiseMainWindow();

class DesktopServices : public QObject
{
    Q_OBJECT

public:
    // Starts with the windows made. `files`: those of the command line,
    // opened once the event loop runs.
    DesktopServices(SingleInstance &instance, const QList<QByteArray> &files, QObject *parent = nullptr);

private:
    MprisService *m_mpris = nullptr;
};
