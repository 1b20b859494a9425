// Files dropped from a file manager: Qt's drag and drop events become the
// WM_DROPFILES message of the window that accepts files, with a drop handle
// the layer owns until the program's DragFinish.
#include "platform/qt/user/user.h"

#include "platform/qt/system/system.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win_shell.h"

struct HDROP__ {
    std::vector<std::string> names; // absolute paths, the program's text
};

// The window that takes a drop aimed at this one, as Windows looks for it:
// the window itself or the nearest one above it in its dialog that accepts
// files. Null when none does, or when that window takes no input now (a modal
// dialog is open over it).
static HWND accepting_window(HWND window) {
    for (HWND w = window; w != nullptr; w = w->parent) {
        if (w->alive && (w->ex_style & WS_EX_ACCEPTFILES) != 0) {
            return window_input_blocked(w) ? nullptr : w;
        }
    }
    return nullptr;
}

static bool offers_local_files(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return false;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

// The dropped files as Windows names them: absolute paths, a folder without
// its final separator. A name that is not valid UTF-8 is left out: the
// program's text could not name it again.
static HDROP make_drop(const QMimeData* data) {
    auto* drop = new HDROP__;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        QByteArray native = QFile::encodeName(url.toLocalFile());
        while (native.size() > 1 && native.endsWith('/')) {
            native.chop(1);
        }
        QByteArray ansi;
        if (!native.isEmpty() && native_path_to_ansi(native, &ansi)) {
            drop->names.emplace_back(ansi.constData(), static_cast<size_t>(ansi.size()));
        }
    }
    return drop;
}

bool drop_route(HWND window, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (accepting_window(window) == nullptr || !offers_local_files(drag->mimeData())) {
            return false;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop_event = static_cast<QDropEvent*>(event);
        HWND target = accepting_window(window);
        if (target == nullptr || !offers_local_files(drop_event->mimeData())) {
            return false;
        }
        drop_event->setDropAction(Qt::CopyAction);
        drop_event->accept();
        HDROP drop = make_drop(drop_event->mimeData());
        // Posted, as Windows does: the file manager is not kept waiting while
        // the program reads what it was given.
        if (drop->names.empty() ||
            !PostMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) {
            delete drop;
        }
        return true;
    }
    default:
        return false;
    }
}

void WINAPI DragAcceptFiles(HWND window, BOOL accept) {
    if (!IsWindow(window)) {
        return;
    }
    if (accept) {
        window->ex_style |= WS_EX_ACCEPTFILES;
    } else {
        window->ex_style &= ~static_cast<DWORD>(WS_EX_ACCEPTFILES);
    }
    // Qt hands a drop to the nearest widget that accepts drops: the controls
    // inside the window pass theirs up to it.
    if (window->widget) {
        window->widget->setAcceptDrops(accept != FALSE);
    }
}

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
    if (drop == nullptr) {
        return 0;
    }
    if (index == 0xFFFFFFFF) {
        return static_cast<UINT>(drop->names.size());
    }
    if (index >= drop->names.size()) {
        return 0;
    }
    const std::string& name = drop->names[index];
    if (buffer == nullptr) {
        return static_cast<UINT>(name.size());
    }
    if (size == 0) {
        return 0;
    }
    size_t copied = name.size() < size - 1 ? name.size() : size - 1;
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

void WINAPI DragFinish(HDROP drop) {
    delete drop;
}
