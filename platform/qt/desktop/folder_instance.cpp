// One running program per folder, on Linux: an exclusive flock on a file of
// the user's runtime folder named after the start folder's device and inode,
// held on a descriptor that stays open for the process's life, and a local
// socket beside it through which a second start asks for the window.
//
// Nothing is left in the start folder, and the settings file and playlist are
// replaced by renaming, so a lock on either would not outlive the first save.
// The runtime folder is the user's alone: another user can neither take the
// claim first, nor bind the socket's name, nor connect to raise the window
// (and a peer of another user is not answered all the same). The lock dies
// with the process; a socket file left by a killed program is replaced by
// the next one to take the claim.
#include "platform/folder_instance.h"

#include "platform/qt/desktop/desktop.h"
#include "platform/qt/user/user.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// A folder only this user can reach: a real folder (not a link), the user's
// own, with no permission for anyone else.
static bool private_folder(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 077) == 0;
}

// The user's runtime folder ($XDG_RUNTIME_DIR), or else a folder of the
// user's own in the temporary folder, made here with mode 0700. A folder that
// is not private (another user made it first, or opened it up) is not used:
// the claim is then not made. Empty when there is none.
static std::string runtime_folder() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return private_folder(runtime) ? runtime : "";
    const char* temp = getenv("TMPDIR");
    std::string folder = temp != nullptr && temp[0] == '/' ? temp : "/tmp";
    folder += "/melodiane-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    return private_folder(folder) ? folder : "";
}

// Whether the peer on a connected local socket runs as this user.
static bool same_user(qintptr descriptor) {
    struct ucred peer = {};
    socklen_t size = sizeof peer;
    return getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == geteuid();
}

static void listen_for_later_starts(const QString& socket_path) {
    auto* server = new QLocalServer(qApp);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // What is there is a killed program's: the claim is this process's now.
    QLocalServer::removeServer(socket_path);
    if (!server->listen(socket_path)) {
        delete server;
        return;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket* request = server->nextPendingConnection()) {
            bool mine = same_user(request->socketDescriptor());
            request->disconnectFromServer();
            request->deleteLater();
            if (mine)
                raise_front_window();
        }
    });
}

// The running program may hold the claim without listening yet: it is asked
// again until the timeout.
static void ask_running_program(const QString& socket_path) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < RAISE_REQUEST_TIMEOUT_MS) {
        QLocalSocket socket;
        socket.connectToServer(socket_path);
        if (socket.waitForConnected(RAISE_REQUEST_TIMEOUT_MS)) {
            // The connection is the request; its end tells that it was taken.
            socket.waitForDisconnected(RAISE_REQUEST_TIMEOUT_MS);
            return;
        }
        QThread::msleep(20);
    }
}

int folder_instance_claim(const char* directory) {
    struct stat identity;
    if (stat(directory, &identity) != 0 || !S_ISDIR(identity.st_mode)) {
        return 1;
    }
    std::string runtime = runtime_folder();
    // The folder's identity, not its path: a link or another spelling of the
    // path reaches the same program.
    std::string base = runtime + "/melodiane-" + std::to_string(identity.st_dev) + "-" +
                       std::to_string(identity.st_ino);
    // A socket's path has a length limit; past it no claim is made.
    if (runtime.empty() || base.size() + sizeof ".socket" > sizeof(sockaddr_un::sun_path)) {
        return 1;
    }
    QString socket_path = QString::fromStdString(base + ".socket");
    int claim = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (claim < 0) {
        return 1;
    }
    if (flock(claim, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(claim);
        // A file system without locks leaves the program unguarded.
        if (error != EWOULDBLOCK) {
            return 1;
        }
        ask_running_program(socket_path);
        return 0;
    }
    // The descriptor is never closed: the lock lasts as long as the process.
    listen_for_later_starts(socket_path);
    return 1;
}

void folder_instance_set_window(HWND window) {
    front_window = window;
    if (raise_pending) {
        raise_front_window();
    }
}
