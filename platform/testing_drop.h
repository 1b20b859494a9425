// Test hook of the platform layer (Linux builds, tests and benchmarks only):
// files dropped from a file manager.
#pragma once

#include "platform/testing.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <string>
#include <vector>

// Drags local files (UTF-8 paths, as a file manager offers them) over a
// window's widget and drops them at its centre, offering a copy, a move or a
// link, as Qt delivers a drop from another program: a drag entering, moving,
// then the drop. True when the widget accepted the drop.
inline bool platform_test_drop_files(HWND window, const std::vector<std::string>& paths) {
    QWidget* widget = platform_test_widget(window);
    if (widget == nullptr) {
        return false;
    }
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    QMimeData data;
    data.setUrls(urls);
    QPoint centre = widget->rect().center();
    Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(centre, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDragMoveEvent move(centre, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    if (!move.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(centre), offered, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}
