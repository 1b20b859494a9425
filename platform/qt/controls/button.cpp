// The "Button" class: push buttons, the default push button, check boxes
// (push-like or not), radio buttons and group boxes.
#include "platform/qt/controls/controls.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

// The class's messages for a button; a group box has no button and answers
// as an unchecked one that cannot be clicked.
static LRESULT button_message(HWND window, QAbstractButton* button, UINT message, WPARAM wparam,
                              LPARAM lparam) {
    switch (message) {
    case BM_GETCHECK:
        if (button == nullptr || !button->isCheckable()) {
            return BST_UNCHECKED;
        }
        if (auto* box = qobject_cast<QCheckBox*>(button);
            box != nullptr && box->checkState() == Qt::PartiallyChecked) {
            return 2;
        }
        return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (button != nullptr && button->isCheckable()) {
            if (auto* box = qobject_cast<QCheckBox*>(button); box != nullptr && box->isTristate()) {
                box->setCheckState(wparam == 2             ? Qt::PartiallyChecked
                                   : wparam == BST_CHECKED ? Qt::Checked
                                                           : Qt::Unchecked);
            } else {
                button->setChecked(wparam == BST_CHECKED);
            }
        }
        return 0;
    case BM_CLICK:
        if (button != nullptr && button->isEnabled()) {
            button->click();
        }
        return 0;
    default:
        if (message >= BM_GETCHECK && message <= BM_GETCHECK + 8) {
            window_unimplemented(window, message);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

namespace {

// A Qt button whose input goes through the window's procedure first.
template <class Base> class ButtonWidget : public Base, public WindowView {
  public:
    explicit ButtonWidget(QWidget* parent, bool automatic) : Base(parent), automatic_(automatic) {}

    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam) override {
        return button_message(handle, this, message, wparam, lparam);
    }
    void show_text(const QString& text) override {
        this->setText(text);
    }
    void deliver_input(QEvent* event) override {
        Base::event(event);
    }

  protected:
    bool event(QEvent* event) override {
        if (input_route(handle, this, event, true)) {
            return true;
        }
        return Base::event(event);
    }
    // Only the automatic styles change their own check mark when clicked.
    void nextCheckState() override {
        if (automatic_) {
            Base::nextCheckState();
        }
    }

  private:
    bool automatic_;
};

class GroupBoxWidget : public QGroupBox, public WindowView {
  public:
    using QGroupBox::QGroupBox;
    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam) override {
        return button_message(handle, nullptr, message, wparam, lparam);
    }
    void show_text(const QString& text) override {
        setTitle(text);
    }
};

} // namespace

static const DWORD button_type_mask = 0x0F;

template <class Widget> static HWND make_button(QWidget* parent, bool automatic) {
    auto* widget = new Widget(parent, automatic);
    HWND window = window_create(WindowKind::button, widget, widget);
    QObject::connect(widget, &QAbstractButton::clicked, [window] {
        window_notify_parent(window, WM_COMMAND, MAKEWPARAM(window->id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(window));
    });
    return window;
}

HWND button_create(QWidget* parent, const RcControl& control) {
    DWORD type = control.style & button_type_mask;
    HWND window;
    if (type == BS_GROUPBOX) {
        auto* box = new GroupBoxWidget(parent);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->setFocusPolicy(Qt::NoFocus);
        window = window_create(WindowKind::group_box, box, box);
    } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == 5 || type == 6) {
        bool automatic = type == BS_AUTOCHECKBOX || type == 6;
        if (control.style & BS_PUSHLIKE) {
            window = make_button<ButtonWidget<QPushButton>>(parent, automatic);
            static_cast<QPushButton*>(window->widget.data())->setCheckable(true);
        } else {
            window = make_button<ButtonWidget<QCheckBox>>(parent, automatic);
            static_cast<QCheckBox*>(window->widget.data())->setTristate(type == 5 || type == 6);
        }
    } else if (type == 4 || type == 9) {
        window = make_button<ButtonWidget<QRadioButton>>(parent, type == 9);
        auto* radio = static_cast<QRadioButton*>(window->widget.data());
        radio->setAutoExclusive(false);
    } else {
        window = make_button<ButtonWidget<QPushButton>>(parent, false);
        auto* push = static_cast<QPushButton*>(window->widget.data());
        push->setAutoDefault(false); // Enter is the dialog's affair (IsDialogMessageA)
        push->setDefault(type == BS_DEFPUSHBUTTON);
    }
    window->text = control_text(control);
    window->view->show_text(ansi_to_qstring(window->text.c_str()));
    return window;
}
