// The file dialogs' start folder and side bar. Internal to the Qt platform layer.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// Where a file dialog given no start folder opens: the folder last chosen in
// one ($XDG_CONFIG_HOME/melodiane/file-dialog-folder), while it is there;
// else the music folder.
QString file_dialog_start_folder();

// The user's music folder (the desktop's XDG_MUSIC_DIR) when it is there,
// else the home folder.
QString file_dialog_music_folder();

// Remembers folder for the next dialog, in this run and the next ones. The
// file is replaced whole, in a folder of the user's own, following no link.
void file_dialog_remember_folder(const QString& folder);

// The side bar: the music folder, the home folder, the desktop, the root and
// the mounted drives, those that are there.
QList<QUrl> file_dialog_places();
