// One running program per folder, on Linux: an exclusive flock on the folder
// itself, held on a descriptor that stays open for the process's life, and a
// local socket in the abstract namespace named after the folder's device and
// inode, through which a second start asks for the window.
//
// Locking the folder rather than a file in it leaves nothing for the user to
// find there, and the settings file and playlist are replaced by renaming, so
// a lock on either would not outlive the first save. Both the lock and the
// abstract socket vanish with the process, whatever ends it.
#include "platform/folder_instance.h"

#include "platform/qt/bring_forward.h"
#include "platform/qt/window.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// How long a second start waits for the running program to take its request.
#define RAISE_REQUEST_TIMEOUT_MS 2000

// The window to bring forward, and whether it was asked for before it existed.
static HWND front_window = nullptr;
static bool raise_pending = false;

static void raise_front_window() {
    if (!IsWindow(front_window) || !front_window->widget) {
        raise_pending = true;
        return;
    }
    raise_pending = false;
    bring_window_forward(front_window);
}

static void listen_for_later_starts(const QString& name) {
    auto* server = new QLocalServer(qApp);
    server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!server->listen(name)) {
        delete server;
        return;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket* request = server->nextPendingConnection()) {
            request->disconnectFromServer();
            request->deleteLater();
            raise_front_window();
        }
    });
}

static void ask_running_program(const QString& name) {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    if (socket.waitForConnected(RAISE_REQUEST_TIMEOUT_MS)) {
        // The connection is the request; its end tells that it was taken.
        socket.waitForDisconnected(RAISE_REQUEST_TIMEOUT_MS);
    }
}

int folder_instance_claim(const char* directory) {
    int folder = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return 1;
    }
    struct stat identity;
    if (fstat(folder, &identity) != 0) {
        close(folder);
        return 1;
    }
    // The folder's identity, not its path: a link or another spelling of the
    // path reaches the same program.
    QString name = QStringLiteral("melodiane-%1-%2")
                       .arg(static_cast<qulonglong>(identity.st_dev))
                       .arg(static_cast<qulonglong>(identity.st_ino));
    if (flock(folder, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(folder);
        // A file system without locks leaves the program unguarded.
        if (error != EWOULDBLOCK) {
            return 1;
        }
        ask_running_program(name);
        return 0;
    }
    // The descriptor is never closed: the lock lasts as long as the process.
    listen_for_later_starts(name);
    return 1;
}

void folder_instance_set_window(HWND window) {
    front_window = window;
    if (raise_pending) {
        raise_front_window();
    }
}
