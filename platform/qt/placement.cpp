// Dialogs and message boxes placed whole inside the screen's work area.
#include "platform/qt/window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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
        if (event->type() == QEvent::Show ||
            (event->type() == QEvent::Resize && window->isVisible() && window->pos() == placed_)) {
            place(window);
            placed_ = window->pos();
        }
        return false;
    }

  private:
    void place(QWidget* window);
    bool centre_;
    QPoint placed_;
};

} // namespace

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

void Placement::place(QWidget* window) {
    QWidget* owner = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
    QMargins margins = frame_margins(window);
    if (margins.isNull() && owner != nullptr) {
        margins = frame_margins(owner);
    }
    QScreen* screen = owner != nullptr ? owner->screen() : window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
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
    if (centre_ && owner != nullptr) {
        QPoint centre = owner->frameGeometry().center();
        at = centre - QPoint(outer.width() / 2, outer.height() / 2);
    }
    // Moved in from the right and the bottom first, then from the left and
    // the top, so that the title bar stays on the screen in any case.
    at.setX(std::max(std::min(at.x(), area.right() + 1 - outer.width()), area.left()));
    at.setY(std::max(std::min(at.y(), area.bottom() + 1 - outer.height()), area.top()));
    if (at != window->pos()) {
        window->move(at);
    }
}

void window_keep_inside_work_area(QWidget* window, bool centre_on_owner) {
    window->installEventFilter(new Placement(window, centre_on_owner));
}
