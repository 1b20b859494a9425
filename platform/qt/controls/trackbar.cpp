// The trackbar class "msctls_trackbar32": a horizontal or vertical slider
// (minimum at the left or at the top) drawn with the Qt style, whose
// procedure turns mouse and keys into the notifications a Windows trackbar
// sends its dialog: TB_THUMBTRACK for each move of a drag then
// TB_THUMBPOSITION and TB_ENDTRACK on release; a line, page, top or bottom
// code for each key step or channel click, then TB_ENDTRACK on release; a
// line step and TB_ENDTRACK for each notch of the mouse wheel.
//
// It is a QFrame drawn with the style's slider, not a QSlider: QAbstractSlider
// keeps its maximum at or above its minimum and its value inside the range,
// where a trackbar keeps a maximum below the minimum (which wins) and a
// position past an end no message set; QSlider's Up key raises the value and
// its wheel steps several lines a notch; a click in its groove jumps to the
// pointer under some styles and repeats at its own pace, where a trackbar
// pages; its accessible value changes without notifying the dialog. What a
// QSlider would bring, its drawing, is the same style call made here.
#include "platform/qt/controls/controls.h"
#include "platform/qt/user/user.h"

#include <QEvent>
#include <QFrame>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

// Holding the button in the channel pages again after a pause, then steadily.
static const int repeat_delay_ms = 400;
static const int repeat_interval_ms = 100;

namespace {

class TrackbarWidget : public QFrame, public WindowView, public AccessibleRange {
  public:
    TrackbarWidget(QWidget* parent, DWORD style);
    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam) override;

    int accessible_minimum() const override {
        return minimum_;
    }
    int accessible_maximum() const override {
        return std::max(minimum_, maximum_);
    }
    int accessible_position() const override {
        return position_;
    }
    int accessible_step() const override {
        return line_;
    }
    void accessible_move(int position) override {
        set_position(position);
        notify(TB_THUMBPOSITION);
        notify(TB_ENDTRACK);
    }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    enum class Mode { idle, dragging, paging };

    QStyleOptionSlider style_option() const;
    QRect thumb_rect() const;
    int value_at(QPoint point) const;
    void notify(WORD code);
    void set_position(int position);
    void set_range(int minimum, int maximum, bool set_minimum, bool set_maximum);
    // Raised to the minimum, then lowered to the maximum, as the real
    // control does: a maximum below the minimum wins.
    int clamped(int position) const {
        return std::min(std::max(position, minimum_), maximum_);
    }
    void step(int delta, WORD code);
    void page_towards_click();
    void wheel(int delta);
    int page_size() const {
        return page_ > 0 ? page_ : std::max(1, (maximum_ - minimum_) / 5);
    }

    bool vertical_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int page_ = 0; // 0: a fifth of the range
    int line_ = 1;
    Mode mode_ = Mode::idle;
    QPoint drag_offset_;
    QPoint click_point_;
    QTimer repeat_;
    int wheel_delta_ = 0; // the part of a notch turned and not yet acted on
};

} // namespace

TrackbarWidget::TrackbarWidget(QWidget* parent, DWORD style)
    : QFrame(parent), vertical_((style & TBS_VERT) != 0) {
    setFocusPolicy(Qt::ClickFocus);
    QObject::connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(repeat_interval_ms);
        page_towards_click();
    });
}

QStyleOptionSlider TrackbarWidget::style_option() const {
    QStyleOptionSlider option;
    option.initFrom(this);
    option.rect = contentsRect();
    option.orientation = vertical_ ? Qt::Vertical : Qt::Horizontal;
    option.minimum = minimum_;
    option.maximum = std::max(minimum_, maximum_);
    option.sliderPosition = position_;
    option.sliderValue = position_;
    option.singleStep = line_;
    option.pageStep = page_size();
    option.upsideDown = false; // the minimum at the left or the top, as on Windows
    option.tickPosition = QSlider::NoTicks;
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (mode_ == Mode::dragging) {
        option.activeSubControls = QStyle::SC_SliderHandle;
        option.state |= QStyle::State_Sunken;
    }
    if (hasFocus()) {
        option.state |= QStyle::State_HasFocus;
    }
    return option;
}

QRect TrackbarWidget::thumb_rect() const {
    QStyleOptionSlider option = style_option();
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

// The position whose thumb would have its top-left corner at point.
int TrackbarWidget::value_at(QPoint point) const {
    QStyleOptionSlider option = style_option();
    QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    QRect thumb =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    int start, span, at;
    if (vertical_) {
        start = groove.y();
        span = groove.bottom() - thumb.height() + 1 - start;
        at = point.y();
    } else {
        start = groove.x();
        span = groove.right() - thumb.width() + 1 - start;
        at = point.x();
    }
    return QStyle::sliderValueFromPosition(minimum_, std::max(minimum_, maximum_), at - start,
                                           std::max(span, 1), false);
}

void TrackbarWidget::notify(WORD code) {
    WPARAM wparam = code;
    if (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) {
        wparam = MAKEWPARAM(code, position_);
    }
    window_notify_parent(handle, vertical_ ? WM_VSCROLL : WM_HSCROLL, wparam,
                         reinterpret_cast<LPARAM>(handle));
}

void TrackbarWidget::set_position(int position) {
    QRect before = thumb_rect();
    int before_position = position_;
    position_ = clamped(position);
    if (position_ != before_position) {
        accessible_value_changed(this, position_);
    }
    // A thumb left on the same pixels repaints nothing: a long track's time
    // moves it only every few seconds.
    if (thumb_rect() != before) {
        update();
    }
}

// The position is brought inside the ends the message set, and only those:
// after TBM_SETRANGEMIN it may still lie above a lower maximum, as on Windows.
void TrackbarWidget::set_range(int minimum, int maximum, bool set_minimum, bool set_maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    if (set_minimum) {
        position_ = std::max(position_, minimum_);
    }
    if (set_maximum) {
        position_ = std::min(position_, maximum_);
    }
    update();
}

void TrackbarWidget::step(int delta, WORD code) {
    set_position(position_ + delta);
    notify(code);
}

// Page steps while the button stays down in the channel, until the thumb
// reaches the pointer.
void TrackbarWidget::page_towards_click() {
    QRect thumb = thumb_rect();
    if (thumb.contains(click_point_)) {
        return;
    }
    bool before = vertical_ ? click_point_.y() < thumb.top() : click_point_.x() < thumb.left();
    if (before && position_ > minimum_) {
        step(-page_size(), TB_PAGEUP);
    } else if (!before && position_ < maximum_) {
        step(page_size(), TB_PAGEDOWN);
    }
}

// Each whole notch (WHEEL_DELTA) steps a line, up or away from the user
// towards the minimum, and ends as a key step ends; a smooth wheel's partial
// turns add up to notches.
void TrackbarWidget::wheel(int delta) {
    wheel_delta_ += delta;
    int notches = wheel_delta_ / WHEEL_DELTA;
    wheel_delta_ -= notches * WHEEL_DELTA;
    for (; notches > 0 && position_ > minimum_; --notches) {
        step(-line_, TB_LINEUP);
        notify(TB_ENDTRACK);
    }
    for (; notches < 0 && position_ < maximum_; ++notches) {
        step(line_, TB_LINEDOWN);
        notify(TB_ENDTRACK);
    }
}

LRESULT TrackbarWidget::message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case TBM_GETPOS:
        return position_;
    case TBM_GETRANGEMIN:
        return minimum_;
    case TBM_GETRANGEMAX:
        return maximum_;
    case TBM_SETPOS:
        set_position(static_cast<int>(static_cast<LONG>(lparam)));
        return 0;
    case TBM_SETRANGE:
        // Both words are signed, as the real control reads them: a maximum
        // of 32,768 or more wraps below zero.
        set_range(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)), true,
                  true);
        return 0;
    case TBM_SETRANGEMIN:
        set_range(static_cast<int>(static_cast<LONG>(lparam)), maximum_, true, false);
        return 0;
    case TBM_SETRANGEMAX:
        set_range(minimum_, static_cast<int>(static_cast<LONG>(lparam)), false, true);
        return 0;
    case TBM_SETPAGESIZE: {
        int previous = page_size();
        page_ = static_cast<int>(static_cast<LONG>(lparam));
        return previous;
    }
    case TBM_GETPAGESIZE:
        return page_size();
    case TBM_SETLINESIZE: {
        int previous = line_;
        line_ = static_cast<int>(static_cast<LONG>(lparam));
        return previous;
    }
    case TBM_GETLINESIZE:
        return line_;
    case WM_LBUTTONDOWN: {
        SetFocus(handle);
        QPoint point(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
        QRect thumb = thumb_rect();
        if (thumb.contains(point)) {
            mode_ = Mode::dragging;
            drag_offset_ = point - thumb.topLeft();
            update();
        } else {
            mode_ = Mode::paging;
            click_point_ = point;
            page_towards_click();
            repeat_.start(repeat_delay_ms);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (mode_ == Mode::dragging) {
            QPoint point(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
            int value = value_at(point - drag_offset_);
            if (value != position_) {
                set_position(value);
                notify(TB_THUMBTRACK);
            }
        } else if (mode_ == Mode::paging) {
            click_point_ =
                QPoint(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
        }
        return 0;
    case WM_LBUTTONUP:
        if (mode_ == Mode::dragging) {
            mode_ = Mode::idle;
            update();
            notify(TB_THUMBPOSITION);
            notify(TB_ENDTRACK);
        } else if (mode_ == Mode::paging) {
            mode_ = Mode::idle;
            repeat_.stop();
            notify(TB_ENDTRACK);
        }
        return 0;
    case WM_KEYDOWN:
        switch (wparam) {
        case VK_LEFT:
        case VK_UP:
            if (position_ > minimum_) {
                step(-line_, TB_LINEUP);
            }
            break;
        case VK_RIGHT:
        case VK_DOWN:
            if (position_ < maximum_) {
                step(line_, TB_LINEDOWN);
            }
            break;
        case VK_PRIOR:
            if (position_ > minimum_) {
                step(-page_size(), TB_PAGEUP);
            }
            break;
        case VK_NEXT:
            if (position_ < maximum_) {
                step(page_size(), TB_PAGEDOWN);
            }
            break;
        case VK_HOME:
            if (position_ > minimum_) {
                set_position(minimum_);
                notify(TB_TOP);
            }
            break;
        case VK_END:
            if (position_ < maximum_) {
                set_position(maximum_);
                notify(TB_BOTTOM);
            }
            break;
        default:
            break;
        }
        return 0;
    case WM_MOUSEWHEEL:
        wheel(static_cast<short>(HIWORD(wparam)));
        return 0;
    case WM_KEYUP:
        switch (wparam) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            notify(TB_ENDTRACK);
            break;
        default:
            break;
        }
        return 0;
    default:
        if (message >= WM_USER && message <= WM_USER + 40) {
            window_unimplemented(handle, message);
            return 0;
        }
        return DefWindowProcA(handle, message, wparam, lparam);
    }
}

bool TrackbarWidget::event(QEvent* event) {
    if (input_route(handle, this, event, true)) {
        return true;
    }
    if (event->type() == QEvent::Wheel &&
        input_route_wheel(handle, this, static_cast<QWheelEvent*>(event))) {
        return true;
    }
    return QFrame::event(event);
}

void TrackbarWidget::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    QStyleOptionSlider option = style_option();
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

HWND trackbar_create(QWidget* parent, const RcControl& control) {
    accessible_install();
    auto* trackbar = new TrackbarWidget(parent, control.style);
    HWND window = window_create(WindowKind::trackbar, trackbar, trackbar);
    // Opaque, as a Windows trackbar paints its own background: a moved thumb
    // repaints the trackbar alone, not the group box drawn behind it.
    trackbar->setAutoFillBackground(true);
    if (control.ex_style & WS_EX_STATICEDGE) {
        trackbar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        trackbar->setLineWidth(1);
    }
    window->text = control_text(control);
    return window;
}
