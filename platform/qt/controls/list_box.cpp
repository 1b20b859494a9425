// The "ListBox" class: an unsorted list box with single, multiple or
// extended selection.
//
// The list box owns its lines and their selection marks (LineStore) and
// draws the visible ones itself; repainting and the scroll bar's range are
// brought up to date once control returns to the event loop, so thousands of
// messages in a row cost no drawing. The caret (the focus rectangle) is an
// index of its own, kept apart from the selection.
#include "platform/qt/controls/controls.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"
#include "platform/qt/controls/line_store.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cstring>

namespace {

class ListBoxWidget : public QAbstractScrollArea, public WindowView, public AccessibleLines {
  public:
    ListBoxWidget(QWidget* parent, DWORD style);
    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void show_font(const QFont& font, bool redraw) override;

    int accessible_count() const override {
        return lines_.size();
    }
    QString accessible_line(int index) const override {
        return ansi_to_qstring(lines_.text(index).c_str());
    }
    bool accessible_selected(int index) const override {
        return lines_.selected(index);
    }
    int accessible_caret() const override {
        return caret_;
    }
    QRect accessible_screen_rect(int index) const override;

  protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    int row_height() const;
    int full_rows() const;
    void changed();
    void refresh();
    void make_visible(int index, bool partial);
    int item_from_point(int x, int y, bool* outside) const;
    void notify(WORD code);
    void select_only_range(int first, int last);
    void move_caret_by_key(int index, unsigned keys);

    LRESULT insert(int index, const char* text);
    LRESULT remove(int index);
    LRESULT set_selection(bool select, int index);
    LRESULT select_range(bool select, int first, int last);
    void mouse_down(int x, int y, unsigned keys);
    void mouse_drag(int x, int y);
    bool key_down(WPARAM vk);
    void search_character(const QString& typed);

    bool multiple() const {
        return (style_ & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
    }
    bool extended() const {
        return (style_ & LBS_EXTENDEDSEL) != 0;
    }

    DWORD style_;
    LineStore lines_;
    int caret_ = 0;
    int announced_caret_ = 0; // the caret as assistive technology last heard of it
    int anchor_ = -1;
    int top_ = 0;
    mutable int row_height_ = 0; // 0 until measured for the current font
    bool redraw_ = true;
    bool refresh_pending_ = false;
    bool dragging_ = false;
};

} // namespace

ListBoxWidget::ListBoxWidget(QWidget* parent, DWORD style)
    : QAbstractScrollArea(parent), style_(style) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
    if (!(style & WS_BORDER)) {
        setFrameStyle(QFrame::NoFrame);
    }
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus); // the keyboard stays with the list
    viewport()->setBackgroundRole(QPalette::Base);
}

// Asked for at every line a command selects: measured once per font.
int ListBoxWidget::row_height() const {
    if (row_height_ == 0) {
        row_height_ = std::max(1, fontMetrics().height());
    }
    return row_height_;
}

int ListBoxWidget::full_rows() const {
    return std::max(1, viewport()->height() / row_height());
}

// Drawing and the scroll bar wait until control returns to the event loop.
void ListBoxWidget::changed() {
    if (refresh_pending_) {
        return;
    }
    refresh_pending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { refresh(); }, Qt::QueuedConnection);
}

QRect ListBoxWidget::accessible_screen_rect(int index) const {
    QRect line(0, (index - top_) * row_height(), viewport()->width(), row_height());
    line &= viewport()->rect();
    return line.isEmpty() ? QRect() : QRect(viewport()->mapToGlobal(line.topLeft()), line.size());
}

void ListBoxWidget::refresh() {
    refresh_pending_ = false;
    accessible_lines_changed(this, caret_, caret_ != announced_caret_);
    announced_caret_ = caret_;
    if (!redraw_) {
        return;
    }
    int last_top = std::max(0, lines_.size() - full_rows());
    top_ = std::clamp(top_, 0, last_top);
    // The scroll area shows or hides the bar on hearing of the range; a value
    // change comes back through scrollContentsBy with top_ itself.
    int top = top_;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, last_top);
    bar->setPageStep(full_rows());
    bar->setValue(top);
    top_ = top;
    viewport()->update();
}

void ListBoxWidget::make_visible(int index, bool partial) {
    int rows = full_rows();
    if (partial && viewport()->height() % row_height() != 0) {
        ++rows;
    }
    if (index < top_) {
        top_ = index;
    } else if (index >= top_ + rows) {
        top_ = index - rows + 1;
    }
    changed();
}

int ListBoxWidget::item_from_point(int x, int y, bool* outside) const {
    int count = lines_.size();
    *outside = x < 0 || x >= viewport()->width() || y < 0 || y >= viewport()->height();
    if (count == 0) {
        *outside = true;
        return 0;
    }
    int index = top_ + (y < 0 ? -1 - (-y - 1) / row_height() : y / row_height());
    if (index >= count) {
        *outside = true;
        index = count - 1;
    }
    if (index < 0) {
        *outside = true;
        index = 0;
    }
    return index;
}

void ListBoxWidget::notify(WORD code) {
    if (style_ & LBS_NOTIFY) {
        window_notify_parent(handle, WM_COMMAND, MAKEWPARAM(handle->id, code),
                             reinterpret_cast<LPARAM>(handle));
    }
}

void ListBoxWidget::select_only_range(int first, int last) {
    if (first > last) {
        std::swap(first, last);
    }
    int count = lines_.size();
    if (lines_.selected_count() > 0) {
        lines_.set_range_selected(0, first - 1, false);
        lines_.set_range_selected(last + 1, count - 1, false);
    }
    lines_.set_range_selected(std::max(0, first), std::min(last, count - 1), true);
}

// ===== Messages from the program =====

LRESULT ListBoxWidget::insert(int index, const char* text) {
    int count = lines_.size();
    if (index == -1) {
        index = count;
    }
    if (index < 0 || index > count) {
        return LB_ERR;
    }
    lines_.insert(index, text != nullptr ? text : "");
    if (count == 0) {
        caret_ = 0;
    }
    changed();
    return index;
}

LRESULT ListBoxWidget::remove(int index) {
    if (index < 0 || index >= lines_.size()) {
        return LB_ERR;
    }
    lines_.erase(index);
    int count = lines_.size();
    caret_ = std::clamp(caret_, 0, std::max(0, count - 1));
    if (anchor_ >= count) {
        anchor_ = count - 1;
    }
    changed();
    return count;
}

LRESULT ListBoxWidget::set_selection(bool select, int index) {
    int count = lines_.size();
    if (index < -1 || index >= count) {
        return LB_ERR;
    }
    if (index == -1) {
        if (count > 0) {
            lines_.set_range_selected(0, count - 1, select);
        }
    } else {
        lines_.set_selected(index, select);
    }
    if (select) {
        anchor_ = index;
        if (index != -1) {
            caret_ = index;
            make_visible(index, false);
        }
    }
    changed();
    return 0;
}

LRESULT ListBoxWidget::select_range(bool select, int first, int last) {
    int count = lines_.size();
    if (first > last) {
        std::swap(first, last);
    }
    first = std::max(first, 0);
    last = std::min(last, count - 1);
    if (first <= last) {
        lines_.set_range_selected(first, last, select);
        changed();
    }
    return 0;
}

LRESULT ListBoxWidget::message(UINT message, WPARAM wparam, LPARAM lparam) {
    int count = lines_.size();
    int index = static_cast<int>(static_cast<INT_PTR>(wparam));
    switch (message) {
    case LB_ADDSTRING:
        return insert(-1, reinterpret_cast<const char*>(lparam));
    case LB_INSERTSTRING:
        return insert(index, reinterpret_cast<const char*>(lparam));
    case LB_DELETESTRING:
        return remove(index);
    case LB_RESETCONTENT:
        lines_.clear();
        caret_ = 0;
        anchor_ = -1;
        top_ = 0;
        changed();
        return 0;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(lines_.text(index).size())
                                           : LB_ERR;
    case LB_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lparam);
        if (index < 0 || index >= count || buffer == nullptr) {
            return LB_ERR;
        }
        LineText text = lines_.text(index);
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<LRESULT>(text.size());
    }
    case LB_GETSEL:
        return index >= 0 && index < count ? (lines_.selected(index) ? 1 : 0) : LB_ERR;
    case LB_GETSELCOUNT:
        return multiple() ? lines_.selected_count() : LB_ERR;
    case LB_GETSELITEMS: {
        int* items = reinterpret_cast<int*>(lparam);
        if (!multiple() || items == nullptr) {
            return LB_ERR;
        }
        int written = 0;
        for (int i = 0; i < count && written < index; ++i) {
            if (lines_.selected(i)) {
                items[written++] = i;
            }
        }
        return written;
    }
    case LB_SETSEL:
        if (!multiple()) {
            return LB_ERR;
        }
        return set_selection(wparam != 0, static_cast<int>(lparam));
    case LB_SELITEMRANGE:
        if (!multiple()) {
            return LB_ERR;
        }
        return select_range(wparam != 0, LOWORD(lparam), HIWORD(lparam));
    case LB_SELITEMRANGEEX: {
        if (!multiple()) {
            return LB_ERR;
        }
        int first = index;
        int last = static_cast<int>(lparam);
        return first <= last ? select_range(true, first, last) : select_range(false, last, first);
    }
    case LB_SETCURSEL:
        if (multiple() || index < -1 || index >= count) {
            return LB_ERR;
        }
        if (count > 0) {
            lines_.set_range_selected(0, count - 1, false);
        }
        if (index >= 0) {
            lines_.set_selected(index, true);
            caret_ = index;
            make_visible(index, false);
        }
        changed();
        return index;
    case LB_GETCURSEL:
        if (count == 0) {
            return LB_ERR;
        }
        if (!multiple()) {
            for (int i = 0; i < count; ++i) {
                if (lines_.selected(i)) {
                    return i;
                }
            }
            return LB_ERR;
        }
        return caret_;
    case LB_SETCARETINDEX:
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        caret_ = index;
        make_visible(index, lparam != 0);
        return 0;
    case LB_GETCARETINDEX:
        return caret_;
    case LB_SETANCHORINDEX:
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        anchor_ = index;
        return 0;
    case LB_GETANCHORINDEX:
        return anchor_;
    case LB_GETTOPINDEX:
        return top_;
    case LB_SETTOPINDEX:
        if (index < 0 || (count > 0 && index >= count)) {
            return LB_ERR;
        }
        top_ = index;
        changed();
        return 0;
    case LB_GETITEMRECT: {
        RECT* rect = reinterpret_cast<RECT*>(lparam);
        if (index < 0 || index >= std::max(count, 1) || rect == nullptr) {
            return LB_ERR;
        }
        rect->left = 0;
        rect->right = viewport()->width();
        rect->top = (index - top_) * row_height();
        rect->bottom = rect->top + row_height();
        return 1;
    }
    case LB_ITEMFROMPOINT: {
        bool outside;
        int item = item_from_point(static_cast<short>(LOWORD(lparam)),
                                   static_cast<short>(HIWORD(lparam)), &outside);
        return MAKELONG(item, outside ? 1 : 0);
    }
    case WM_SETREDRAW:
        redraw_ = wparam != 0;
        setUpdatesEnabled(redraw_);
        if (redraw_) {
            refresh();
        }
        return 0;
    case WM_LBUTTONDOWN:
        mouse_down(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)),
                   static_cast<unsigned>(wparam));
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_ && (wparam & MK_LBUTTON)) {
            mouse_drag(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
        }
        return 0;
    case WM_LBUTTONUP:
        dragging_ = false;
        return 0;
    case WM_LBUTTONDBLCLK:
        notify(LBN_DBLCLK);
        return 0;
    case WM_KEYDOWN:
        if (key_down(wparam)) {
            return 0;
        }
        // The character a key types, as WM_CHAR brings it to the real list box.
        if (!(input_modifier_keys() & MK_CONTROL)) {
            search_character(input_typed_text(handle, message, wparam, lparam));
        }
        return DefWindowProcA(handle, message, wparam, lparam);
    default:
        if (message >= LB_ADDSTRING && message <= 0x01B3) {
            window_unimplemented(handle, message);
            return LB_ERR;
        }
        return DefWindowProcA(handle, message, wparam, lparam);
    }
}

// ===== The user's mouse and keyboard =====

void ListBoxWidget::mouse_down(int x, int y, unsigned keys) {
    if (GetFocus() != handle) {
        SetFocus(handle);
    }
    bool outside;
    int index = item_from_point(x, y, &outside);
    if (lines_.size() == 0 || (outside && y >= 0 && y < viewport()->height())) {
        return; // below the last line
    }
    dragging_ = true;
    if (!multiple()) {
        select_only_range(index, index);
    } else if (!extended()) {
        lines_.set_selected(index, !lines_.selected(index));
        anchor_ = index;
    } else {
        if (!(keys & MK_SHIFT) || anchor_ < 0) {
            anchor_ = index;
        }
        if ((keys & MK_CONTROL) && (keys & MK_SHIFT)) {
            lines_.set_range_selected(std::min(anchor_, index), std::max(anchor_, index), true);
        } else if (keys & MK_CONTROL) {
            lines_.set_selected(index, !lines_.selected(index));
        } else {
            select_only_range(anchor_, index);
        }
    }
    caret_ = index;
    make_visible(index, false);
    changed();
    notify(LBN_SELCHANGE);
}

void ListBoxWidget::mouse_drag(int x, int y) {
    bool outside;
    int index = item_from_point(x, y, &outside);
    if (lines_.size() == 0 || index == caret_) {
        return;
    }
    if (extended()) {
        select_only_range(std::max(anchor_, 0), index);
    } else if (!multiple()) {
        select_only_range(index, index);
    }
    caret_ = index;
    make_visible(index, false);
    changed();
    notify(LBN_SELCHANGE);
}

void ListBoxWidget::move_caret_by_key(int index, unsigned keys) {
    int count = lines_.size();
    index = std::clamp(index, 0, count - 1);
    if (!multiple()) {
        select_only_range(index, index);
    } else if (extended()) {
        if (keys & MK_SHIFT) {
            select_only_range(anchor_ < 0 ? index : anchor_, index);
        } else if (!(keys & MK_CONTROL)) {
            anchor_ = index;
            select_only_range(index, index);
        }
    }
    caret_ = index;
    make_visible(index, false);
    changed();
    notify(LBN_SELCHANGE);
}

// True for the keys the list box acts on itself.
bool ListBoxWidget::key_down(WPARAM vk) {
    int count = lines_.size();
    switch (vk) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
    case VK_SPACE:
        break;
    default:
        return false;
    }
    if (count == 0) {
        return true;
    }
    unsigned keys = input_modifier_keys();
    int page = full_rows();
    switch (vk) {
    case VK_UP:
        move_caret_by_key(caret_ - 1, keys);
        break;
    case VK_DOWN:
        move_caret_by_key(caret_ + 1, keys);
        break;
    case VK_PRIOR:
        move_caret_by_key(caret_ - page + 1, keys);
        break;
    case VK_NEXT:
        move_caret_by_key(caret_ == top_ + page - 1 ? caret_ + page - 1 : top_ + page - 1, keys);
        break;
    case VK_HOME:
        move_caret_by_key(0, keys);
        break;
    case VK_END:
        move_caret_by_key(count - 1, keys);
        break;
    case VK_SPACE:
        if (multiple() && (!extended() || (keys & MK_CONTROL))) {
            lines_.set_selected(caret_, !lines_.selected(caret_));
            anchor_ = caret_;
            changed();
            notify(LBN_SELCHANGE);
        }
        break;
    default:
        break;
    }
    return true;
}

// A typed character moves the caret to the next line, after the caret and
// wrapping round to it, whose text begins with that character in either
// case; that line becomes the anchor and the only line selected, and is
// scrolled fully into view.
void ListBoxWidget::search_character(const QString& typed) {
    int count = lines_.size();
    if (typed.size() != 1 || !typed[0].isPrint() || count == 0) {
        return;
    }
    for (int step = 1; step <= count; ++step) {
        int index = (caret_ + step) % count;
        LineText text = lines_.text(index);
        if (text.size() == 0) {
            continue;
        }
        // The line's first character: up to four bytes of UTF-8, its first code point.
        QString start =
            ansi_to_qstring(text.c_str(), static_cast<int>(std::min<size_t>(text.size(), 4)));
        QString first = start.left(start[0].isHighSurrogate() ? 2 : 1);
        if (first.compare(typed, Qt::CaseInsensitive) == 0) {
            if (multiple() && !extended()) {
                caret_ = index;
                make_visible(index, false);
                changed();
            } else {
                anchor_ = index;
                move_caret_by_key(index, 0);
            }
            return;
        }
    }
}

// ===== Qt side =====

void ListBoxWidget::show_font(const QFont& font, bool redraw) {
    setFont(font);
    changed();
    if (redraw) {
        viewport()->update();
    }
}

bool ListBoxWidget::event(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        row_height_ = 0;
    }
    if (input_route(handle, this, event, false)) {
        return true;
    }
    // A character whose key has no virtual-key code here (an accented
    // letter) comes as no key message at all; it still searches.
    if (event->type() == QEvent::KeyPress && handle != nullptr && handle->alive &&
        !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ControlModifier)) {
        search_character(static_cast<QKeyEvent*>(event)->text());
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        viewport()->update();
    }
    return QAbstractScrollArea::event(event);
}

bool ListBoxWidget::viewportEvent(QEvent* event) {
    if (input_route(handle, viewport(), event, true)) {
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ListBoxWidget::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    changed();
}

void ListBoxWidget::scrollContentsBy(int, int) {
    top_ = verticalScrollBar()->value();
    viewport()->update();
}

void ListBoxWidget::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    int height = row_height();
    int width = viewport()->width();
    int count = lines_.size();
    int first = std::clamp(top_, 0, std::max(0, count - 1));
    for (int i = first, y = 0; i < count && y < viewport()->height(); ++i, y += height) {
        QRect row(0, y, width, height);
        bool selected = lines_.selected(i);
        if (selected) {
            painter.fillRect(row, palette().brush(QPalette::Highlight));
        }
        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(
            row.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            ansi_to_qstring(lines_.text(i).c_str(), static_cast<int>(lines_.text(i).size())));
    }
    if (hasFocus() && caret_ >= first) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = QRect(0, (caret_ - first) * height, width, height);
        option.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

// ===== Class =====

HWND list_box_create(QWidget* parent, const RcControl& control) {
    accessible_install();
    auto* box = new ListBoxWidget(parent, control.style);
    HWND window = window_create(WindowKind::list_box, box, box);
    window->client = box->viewport();
    return window;
}

int WINAPI LBItemFromPt(HWND list_box, POINT screen_point, BOOL) {
    POINT point = screen_point;
    RECT client;
    if (!ScreenToClient(list_box, &point) || !GetClientRect(list_box, &client)) {
        return -1;
    }
    if (point.x < client.left || point.x >= client.right || point.y < client.top ||
        point.y >= client.bottom) {
        return -1;
    }
    LRESULT found = SendMessageA(list_box, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    return HIWORD(found) != 0 ? -1 : LOWORD(found);
}
