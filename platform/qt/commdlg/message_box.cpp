// MessageBoxA over QMessageBox.
#include "platform/win_user.h"

#include "platform/qt/commdlg/commdlg.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"

#include <QMessageBox>
#include <QPushButton>

#include <cassert>

static const UINT button_mask = 0x0F;
static const UINT icon_mask = 0xF0;

static void add_button(QMessageBox* box, const char* text, QMessageBox::ButtonRole role, int id) {
    QPushButton* button = box->addButton(QString::fromUtf8(text), role);
    button->setProperty(message_box_answer_property, id);
    // The first button is the default one, as on Windows.
    if (!box->defaultButton())
        box->setDefaultButton(button);
}

static QMessageBox::Icon icon_of(UINT type) {
    switch (type & icon_mask) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int show_message_box(QWidget* parent, HWND owner, const QString& text, const QString& caption,
                     UINT type) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(icon_of(type));
    // A box closed without a button (Esc, or a shutdown ending it) answers
    // what Windows answers for its kind.
    int dismissed = IDOK;
    switch (type & button_mask) {
    case MB_OKCANCEL:
        add_button(&box, "OK", QMessageBox::AcceptRole, IDOK);
        add_button(&box, "Annuler", QMessageBox::RejectRole, IDCANCEL);
        dismissed = IDCANCEL;
        break;
    case MB_YESNO:
        add_button(&box, "&Oui", QMessageBox::YesRole, IDYES);
        add_button(&box, "&Non", QMessageBox::NoRole, IDNO);
        dismissed = IDNO;
        break;
    default:
        assert((type & button_mask) == MB_OK && "message box buttons not implemented");
        add_button(&box, "OK", QMessageBox::AcceptRole, IDOK);
        break;
    }

    CommonDialogAsk ask{};
    ask.kind = "message";
    ask.title = qstring_to_ansi(caption).toStdString();
    ask.text = qstring_to_ansi(text).toStdString();
    ask.flags = type;
    run_common_dialog(&box, owner, ask);

    QAbstractButton* clicked = box.clickedButton();
    return clicked ? clicked->property(message_box_answer_property).toInt() : dismissed;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // Windows captions a box without one "Erreur".
    QString shown_caption = caption ? ansi_to_qstring(caption) : QStringLiteral("Erreur");
    return show_message_box(platform_widget(owner), owner, ansi_to_qstring(text), shown_caption,
                            type);
}
