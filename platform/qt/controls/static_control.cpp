// The "Static" class: text labels (left, centred, right, optionally centred
// vertically, with a static or client edge) and the bitmap picture.
#include "platform/qt/controls/controls.h"
#include "platform/qt/system/system.h"
#include "platform/qt/resources/resources.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <cmath>

namespace {

class StaticWidget : public QLabel, public WindowView {
  public:
    StaticWidget(QWidget* parent, bool bitmap) : QLabel(parent), bitmap_(bitmap) {}
    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message >= 0x0170 && message <= 0x0173) { // STM_ messages
            window_unimplemented(handle, message);
            return 0;
        }
        return WindowView::message(message, wparam, lparam);
    }
    void show_text(const QString& text) override {
        if (!bitmap_) {
            setText(text);
        }
    }

  protected:
    // The picture is drawn pixel for pixel at its place; on a screen of
    // device pixel ratio 2 each of its pixels becomes two by two, not a blend
    // of its neighbours. Other ratios smooth it, rather than double some rows
    // and not others.
    void paintEvent(QPaintEvent* event) override {
        if (!bitmap_) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        drawFrame(&painter);
        QPixmap picture = pixmap();
        if (picture.isNull()) {
            return;
        }
        qreal ratio = devicePixelRatio();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, ratio != std::floor(ratio));
        painter.setClipRect(contentsRect());
        QSize size = picture.deviceIndependentSize().toSize();
        painter.drawPixmap(
            QStyle::alignedRect(layoutDirection(), alignment(), size, contentsRect()), picture);
    }

  private:
    bool bitmap_;
};

} // namespace

static const DWORD static_type_mask = 0x1F;

// The picture a bitmap static names: a BITMAP line of the script, read from
// its file; nothing when either is missing.
static QPixmap named_bitmap(const RcControl& control) {
    std::string name = control_text(control);
    const RcFile* file = control.text.is_number
                             ? resources_find_file("BITMAP", MAKEINTRESOURCEA(control.text.number))
                             : resources_find_file("BITMAP", name.c_str());
    if (file == nullptr) {
        return QPixmap();
    }
    return QPixmap(resources_path(file->file));
}

HWND static_create(QWidget* parent, const RcControl& control) {
    DWORD type = control.style & static_type_mask;
    bool bitmap = type == SS_BITMAP;
    auto* label = new StaticWidget(parent, bitmap);
    HWND window = window_create(WindowKind::static_text, label, label);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    // Opaque, as a Windows static paints its own background: a new text
    // repaints the label alone, not the group box drawn behind it.
    label->setAutoFillBackground(true);
    if (!(control.style & SS_NOTIFY)) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    Qt::Alignment horizontal = type == SS_CENTER  ? Qt::AlignHCenter
                               : type == SS_RIGHT ? Qt::AlignRight
                                                  : Qt::AlignLeft;
    bool centre_vertically = (control.style & SS_CENTERIMAGE) != 0;
    if (bitmap) {
        label->setAlignment(centre_vertically ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        label->setPixmap(named_bitmap(control));
    } else {
        label->setAlignment(horizontal | (centre_vertically ? Qt::AlignVCenter : Qt::AlignTop));
        // Windows wraps left, centred and right text unless it is centred vertically.
        label->setWordWrap(!centre_vertically && type <= SS_RIGHT);
    }
    if (control.ex_style & WS_EX_CLIENTEDGE) {
        label->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    } else if ((control.ex_style & WS_EX_STATICEDGE) || (control.style & SS_SUNKEN)) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    window->text = control_text(control);
    label->show_text(ansi_to_qstring(window->text.c_str()));
    return window;
}
