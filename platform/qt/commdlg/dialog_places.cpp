// Where the file dialogs open and what their side bar offers, as the Windows
// dialog does it: the folder the program last chose files in, kept per user
// across runs, or at first the user's music folder.
#include "platform/qt/commdlg/commdlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// The remembered folder: one line, the path as the file system spells it.
static const char folder_file[] = "file-dialog-folder";
static const char temp_file[] = "file-dialog-folder.new";
static const off_t folder_file_limit = 64 * 1024;

// The program's folder in the user's configuration directory, opened without
// following a link and only when it is the user's own; -1 otherwise. Made
// (private) when create is set and it is missing.
static int open_config_folder(bool create) {
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (!QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    QByteArray path = QFile::encodeName(base + QStringLiteral("/melodiane"));
    if (create) {
        QDir().mkpath(base);
        if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
            return -1;
        }
    }
    int fd = open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || st.st_uid != getuid())) {
        close(fd);
        return -1;
    }
    return fd;
}

static QString remembered_folder() {
    int folder = open_config_folder(false);
    if (folder < 0) {
        return QString();
    }
    int fd = openat(folder, folder_file, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    close(folder);
    if (fd < 0) {
        return QString();
    }
    struct stat st;
    std::string content;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < folder_file_limit) {
        content.resize(static_cast<size_t>(st.st_size));
        ssize_t got = read(fd, content.data(), content.size());
        content.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    close(fd);
    size_t end = content.find('\n');
    if (end == std::string::npos) {
        return QString(); // a line cut short is no folder
    }
    return QFile::decodeName(QByteArray(content.data(), static_cast<qsizetype>(end)));
}

QString file_dialog_start_folder() {
    QString folder = remembered_folder();
    if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir()) {
        return folder;
    }
    return file_dialog_music_folder();
}

QString file_dialog_music_folder() {
    // The folder the desktop's user directories name (what xdg-user-dir
    // MUSIC answers), when it is there.
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) {
        return music;
    }
    return QDir::homePath();
}

void file_dialog_remember_folder(const QString& folder) {
    if (folder.isEmpty() || folder == remembered_folder()) {
        return;
    }
    QByteArray line = QFile::encodeName(folder);
    if (line.contains('\n')) {
        return;
    }
    line += '\n';
    int config = open_config_folder(true);
    if (config < 0) {
        return;
    }
    // A new file beside the old one, renamed over it once whole: a link
    // planted at either name is replaced, never followed.
    unlinkat(config, temp_file, 0);
    int fd = openat(config, temp_file, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        bool ok = write(fd, line.constData(), static_cast<size_t>(line.size())) == line.size() &&
                  fsync(fd) == 0;
        ok = close(fd) == 0 && ok;
        if (!ok || renameat(config, temp_file, config, folder_file) != 0) {
            unlinkat(config, temp_file, 0);
        }
    }
    close(config);
}

QList<QUrl> file_dialog_places() {
    QList<QUrl> places;
    auto add = [&places](const QString& path) {
        QUrl url = QUrl::fromLocalFile(path);
        if (!path.isEmpty() && QFileInfo(path).isDir() && !places.contains(url)) {
            places << url;
        }
    };
    add(file_dialog_music_folder());
    add(QDir::homePath());
    add(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    // The file system's root, then each drive mounted where desktops mount
    // them (a USB key, a second disk, a disc).
    add(QDir::rootPath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() &&
            (root.startsWith(QStringLiteral("/media/")) ||
             root.startsWith(QStringLiteral("/run/media/")) ||
             root.startsWith(QStringLiteral("/mnt/")))) {
            add(root);
        }
    }
    return places;
}
