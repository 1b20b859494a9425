// Dialogs and message boxes placed whole inside the screen's work area.
#include "platform/qt/user/user.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

// The frame the window manager puts round a window, as it measures the
// owner's (or the window's own once shown); none before anything is known.
static QMargins frame_margins(const QWidget* window) {
    if (!window->isVisible()) {
        return QMargins();
    }
    QRect outer = window->frameGeometry();
    QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

namespace {

// Places its window each time the window is about to be shown (by then Qt
// has given it its size, and it is not yet on the screen), and again when
// it grows while shown and still stands where it was put (the file dialog
// widens to the names of the folder it has read).
class Placement : public QObject {
  public:
    Placement(QWidget* window, bool centre) : QObject(window), centre_(centre) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window == nullptr || !window->isWindow()) {
            return false;
        }
        if (event->type() == QEvent::Show) {
            framed_ = false;
        }
        if (event->type() == QEvent::Show ||
            (event->type() == QEvent::Resize && window->isVisible() && window->pos() == placed_)) {
            placed_ = place(window, centre_);
        } else if (event->type() == QEvent::Move && window->isVisible() && !framed_ &&
                   !frame_margins(window).isNull()) {
            // Where the window manager put it once it had its frame, which
            // may lie partly outside; later moves are the user's own.
            framed_ = true;
            if (!inside(window)) {
                placed_ = place(window, false);
            }
        }
        return false;
    }

  private:
    // Returns where the frame's corner now goes.
    QPoint place(QWidget* window, bool centre);
    static bool inside(const QWidget* window);
    bool centre_;
    QPoint placed_;
    bool framed_ = false; // the frame has been seen since the window was shown
};

} // namespace

static QScreen* screen_of(const QWidget* window, const QWidget* owner) {
    QScreen* screen = owner != nullptr ? owner->screen() : window->screen();
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

bool Placement::inside(const QWidget* window) {
    const QWidget* owner =
        window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
    QScreen* screen = screen_of(window, owner);
    return screen == nullptr || screen->availableGeometry().contains(window->frameGeometry());
}

QPoint Placement::place(QWidget* window, bool centre) {
    QWidget* owner = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
    QMargins margins = frame_margins(window);
    bool frame_known = !margins.isNull();
    if (!frame_known && owner != nullptr) {
        margins = frame_margins(owner);
    }
    QScreen* screen = screen_of(window, owner);
    if (screen == nullptr) {
        return window->pos();
    }
    QRect area = screen->availableGeometry();
    QSize frame_extra(margins.left() + margins.right(), margins.top() + margins.bottom());
    // A window the user may resize is made to fit; a fixed one keeps its size.
    if (window->minimumSize() != window->maximumSize()) {
        QSize room = (area.size() - frame_extra).expandedTo(window->minimumSize());
        if (window->width() > room.width() || window->height() > room.height()) {
            window->resize(window->size().boundedTo(room));
        }
    }
    QSize outer = window->size() + frame_extra;
    // pos() is where the frame's corner goes.
    QPoint at = window->pos();
    if (centre && owner != nullptr) {
        QPoint centre = owner->frameGeometry().center();
        at = centre - QPoint(outer.width() / 2, outer.height() / 2);
    }
    // Moved in from the right and the bottom first, then from the left and
    // the top, so that the title bar stays on the screen in any case.
    at.setX(std::max(std::min(at.x(), area.right() + 1 - outer.width()), area.left()));
    at.setY(std::max(std::min(at.y(), area.bottom() + 1 - outer.height()), area.top()));
    // X11: a window that exists but has no frame yet is placed by its
    // client area (static gravity), so the frame's room is added here, or
    // the title bar would sit above the point.
    QPoint move_to = at;
    if (!frame_known && window->windowHandle() != nullptr &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        move_to += QPoint(margins.left(), margins.top());
    }
    if (move_to != window->pos()) {
        window->move(move_to);
    }
    return window->pos();
}

void window_keep_inside_work_area(QWidget* window, bool centre_on_owner) {
    window->installEventFilter(new Placement(window, centre_on_owner));
}
