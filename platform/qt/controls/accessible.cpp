// Accessibility interfaces of the list box and the trackbar.
#include "platform/qt/controls/controls.h"

#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <limits>
#include <vector>

// A control's name when it has no text: the group box around it, else the
// label whose top is nearest below it within its width.
static QString caption_for(const QWidget* control) {
    if (!control->accessibleName().isEmpty() || control->parentWidget() == nullptr) {
        return control->accessibleName();
    }
    QRect place = control->geometry();
    const auto siblings =
        control->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* sibling : siblings) {
        auto* group = qobject_cast<const QGroupBox*>(sibling);
        if (group != nullptr && group->geometry().contains(place)) {
            return group->title();
        }
    }
    QString below;
    int nearest = std::numeric_limits<int>::max();
    for (const QWidget* sibling : siblings) {
        auto* label = qobject_cast<const QLabel*>(sibling);
        QRect at = sibling->geometry();
        int gap = at.top() - place.bottom();
        if (label != nullptr && !label->text().isEmpty() && gap >= 0 && gap < nearest &&
            at.center().x() >= place.left() && at.center().x() <= place.right()) {
            nearest = gap;
            below = label->text();
        }
    }
    return below;
}

namespace {

class ListAccessible;

class LineAccessible : public QAccessibleInterface {
  public:
    LineAccessible(ListAccessible* list, int index) : list_(list), index_(index) {}

    bool isValid() const override;
    QObject* object() const override {
        return nullptr;
    }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override {
        return nullptr;
    }
    int childCount() const override {
        return 0;
    }
    int indexOfChild(const QAccessibleInterface*) const override {
        return -1;
    }
    QAccessibleInterface* childAt(int, int) const override {
        return nullptr;
    }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override {
        return QAccessible::ListItem;
    }
    QAccessible::State state() const override;

  private:
    ListAccessible* list_;
    int index_;
};

class ListAccessible : public QAccessibleWidget {
  public:
    ListAccessible(QWidget* widget, AccessibleLines* lines)
        : QAccessibleWidget(widget, QAccessible::List), lines(lines) {}
    ~ListAccessible() override {
        // As Qt's own tables do with their cells.
        for (QAccessible::Id id : line_ids_) {
            if (QAccessible::accessibleInterface(id) != nullptr) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }

    int childCount() const override {
        return lines->accessible_count();
    }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        // One interface per line index, made when first asked for and kept
        // by Qt's registry for the list's lifetime.
        while (line_ids_.size() <= static_cast<std::size_t>(index)) {
            auto* line = new LineAccessible(const_cast<ListAccessible*>(this),
                                            static_cast<int>(line_ids_.size()));
            line_ids_.push_back(QAccessible::registerAccessibleInterface(line));
        }
        return QAccessible::accessibleInterface(line_ids_[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < line_ids_.size(); i++) {
            if (QAccessible::accessibleInterface(line_ids_[i]) == child) {
                return static_cast<int>(i) < childCount() ? static_cast<int>(i) : -1;
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); i++) {
            if (lines->accessible_screen_rect(i).contains(x, y)) {
                return child(i);
            }
        }
        return nullptr;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? caption_for(widget()) : QAccessibleWidget::text(t);
    }

    bool has_focus() const {
        return widget()->hasFocus();
    }

    AccessibleLines* lines;

  private:
    mutable std::vector<QAccessible::Id> line_ids_;
};

bool LineAccessible::isValid() const {
    return list_->isValid() && index_ < list_->childCount();
}

QWindow* LineAccessible::window() const {
    return list_->window();
}

QAccessibleInterface* LineAccessible::parent() const {
    return list_;
}

QString LineAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Name && isValid() ? list_->lines->accessible_line(index_) : QString();
}

QRect LineAccessible::rect() const {
    return isValid() ? list_->lines->accessible_screen_rect(index_) : QRect();
}

QAccessible::State LineAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = true;
    state.focusable = true;
    state.selected = list_->lines->accessible_selected(index_);
    state.focused = list_->has_focus() && list_->lines->accessible_caret() == index_;
    state.invisible = rect().isEmpty();
    return state;
}

class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    SliderAccessible(QWidget* widget, AccessibleRange* range)
        : QAccessibleWidget(widget, QAccessible::Slider), range_(range) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return caption_for(widget());
        }
        if (t == QAccessible::Value) {
            return QString::number(range_->accessible_position());
        }
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override {
        return range_->accessible_position();
    }
    void setCurrentValue(const QVariant& value) override {
        if (widget()->isEnabled()) {
            range_->accessible_move(value.toInt());
        }
    }
    QVariant maximumValue() const override {
        return range_->accessible_maximum();
    }
    QVariant minimumValue() const override {
        return range_->accessible_minimum();
    }
    QVariant minimumStepSize() const override {
        return range_->accessible_step();
    }

  private:
    AccessibleRange* range_;
};

class DialogAccessible : public QAccessibleWidget {
  public:
    DialogAccessible(QWidget* widget, AccessibleControls* controls)
        : QAccessibleWidget(widget, QAccessible::Dialog), controls_(controls) {}

    int childCount() const override {
        return static_cast<int>(controls_->accessible_controls().size());
    }
    QAccessibleInterface* child(int index) const override {
        std::vector<QWidget*> controls = controls_->accessible_controls();
        return index >= 0 && index < static_cast<int>(controls.size())
                   ? QAccessible::queryAccessibleInterface(
                         controls[static_cast<std::size_t>(index)])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        std::vector<QWidget*> controls = controls_->accessible_controls();
        for (std::size_t i = 0; i < controls.size(); i++) {
            if (child != nullptr && child->object() == controls[i]) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

  private:
    AccessibleControls* controls_;
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    if (auto* lines = dynamic_cast<AccessibleLines*>(object)) {
        return new ListAccessible(widget, lines);
    }
    if (auto* range = dynamic_cast<AccessibleRange*>(object)) {
        return new SliderAccessible(widget, range);
    }
    if (auto* controls = dynamic_cast<AccessibleControls*>(object)) {
        return new DialogAccessible(widget, controls);
    }
    return nullptr;
}

} // namespace

void accessible_install() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(factory);
    }
}

// Sent whether or not a screen reader listens, as Qt's own sliders do: Qt
// passes them on only to one that does.
void accessible_value_changed(QObject* control, int position) {
    QAccessibleValueChangeEvent event(control, position);
    QAccessible::updateAccessibility(&event);
}

void accessible_lines_changed(QWidget* list, int caret, bool caret_moved) {
    // The focused line's interface is made only for a screen reader that listens.
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleEvent selection(list, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&selection);
    if (caret_moved && list->hasFocus()) {
        QAccessibleInterface* lines = QAccessible::queryAccessibleInterface(list);
        QAccessibleInterface* line = lines != nullptr ? lines->child(caret) : nullptr;
        if (line != nullptr) {
            QAccessibleEvent focus(line, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    }
}
