// Files handed to the program from outside its own dialogs: the command line,
// a second start, a drop on the playlist. They go through the designed
// commands: File > Open for playlists, Add's rules and messages for songs,
// a double click to start one.
#pragma once

#include <QByteArray>
#include <QList>

class TFrm_main;

enum class AfterAdding { Nothing, PlayFirst };

// Opens the playlists among `paths` in their order (the last stays current),
// then adds the songs and the songs of the folders at the end of the
// playlist. Paths that cannot be opened are named in one message.
void OpenFiles(TFrm_main &main, const QList<QByteArray> &paths, AfterAdding after);
