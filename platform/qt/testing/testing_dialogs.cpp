// The test script for the common dialogs. It finds them as they are shown,
// through an event filter on the whole application, and reads what the
// program asked from the properties the dialogs carry.
#include "platform/testing_dialogs.h"

#include "platform/qt/commdlg/commdlg.h"
#include "platform/win_user.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QByteArrayList>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstring>
#include <deque>

// What the program asked of a dialog, kept on the dialog widget as plain
// properties from the moment it runs: QByteArray, except the filters
// (QByteArrayList: description then patterns for each pair) and the flags
// (uint); the font is the LOGFONTA's bytes.
static const char ask_kind_property[] = "win_dialog";
static const char ask_title_property[] = "win_title";
static const char ask_text_property[] = "win_text";
static const char ask_filters_property[] = "win_filters";
static const char ask_default_extension_property[] = "win_default_extension";
static const char ask_flags_property[] = "win_flags";
static const char ask_font_property[] = "win_logfont";

static QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

static void keep_ask(QDialog* dialog, const CommonDialogAsk& ask) {
    QByteArrayList filters;
    for (const auto& [description, patterns] : ask.filters)
        filters << bytes(description) << bytes(patterns);
    dialog->setProperty(ask_kind_property, QByteArray(ask.kind));
    dialog->setProperty(ask_title_property, bytes(ask.title));
    dialog->setProperty(ask_text_property, bytes(ask.text));
    dialog->setProperty(ask_filters_property, QVariant::fromValue(filters));
    dialog->setProperty(ask_default_extension_property, bytes(ask.default_extension));
    dialog->setProperty(ask_flags_property, static_cast<uint>(ask.flags));
    dialog->setProperty(ask_font_property,
                        QByteArray(reinterpret_cast<const char*>(&ask.font), sizeof ask.font));
}

// Answers not yet used, in order; taken by dialogs as they are shown.
static std::deque<DialogAnswer> queued_answers;
// What each dialog was asked, while scripted.
static std::vector<DialogRequest> requests;

static void press_escape(QDialog* dialog) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog, &press);
}

// Gives the dialog the next answer; once it has acted, a dialog still open
// gets the one after, or Esc when none is left.
static void answer_next(QDialog* dialog, size_t request_index) {
    QPointer<QDialog> still(dialog);
    if (queued_answers.empty()) {
        if (request_index < requests.size())
            requests[request_index].answered = false;
        press_escape(dialog);
        // A dialog that Esc does not close is closed all the same.
        if (still && still->isVisible())
            still->reject();
        return;
    }
    DialogAnswer answer = std::move(queued_answers.front());
    queued_answers.pop_front();
    answer(dialog);
    if (still && still->isVisible()) {
        QTimer::singleShot(0, still, [still, request_index] {
            if (still && still->isVisible())
                answer_next(still, request_index);
        });
    }
}

static std::string text_of(const QDialog* dialog, const char* property) {
    return dialog->property(property).toByteArray().toStdString();
}

static DialogRequest request_of(const QDialog* dialog) {
    DialogRequest request{};
    QByteArray kind = dialog->property(ask_kind_property).toByteArray();
    request.kind = kind == "open"   ? DialogKind::open_file
                   : kind == "save" ? DialogKind::save_file
                   : kind == "font" ? DialogKind::font
                                    : DialogKind::message_box;
    request.title = text_of(dialog, ask_title_property);
    request.text = text_of(dialog, ask_text_property);
    QByteArrayList filters = dialog->property(ask_filters_property).value<QByteArrayList>();
    for (qsizetype i = 0; i + 1 < filters.size(); i += 2)
        request.filters.emplace_back(filters[i].toStdString(), filters[i + 1].toStdString());
    request.default_extension = text_of(dialog, ask_default_extension_property);
    request.flags = dialog->property(ask_flags_property).toUInt();
    QByteArray font = dialog->property(ask_font_property).toByteArray();
    if (font.size() == sizeof request.font)
        std::memcpy(&request.font, font.constData(), sizeof request.font);
    request.answered = true;
    return request;
}

// Catches each common dialog as it is first shown, records its request and
// answers it on the first turn of its own loop.
class DialogWatch : public QObject {
  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(object);
        if (event->type() == QEvent::Show && dialog &&
            dialog->property(ask_kind_property).isValid() &&
            !dialog->property("win_scripted").toBool()) {
            dialog->setProperty("win_scripted", true);
            requests.push_back(request_of(dialog));
            size_t index = requests.size() - 1;
            QTimer::singleShot(0, dialog, [dialog, index] { answer_next(dialog, index); });
        }
        return false;
    }
};

// Installed by the first use of the script: from then on no dialog waits for a person.
static void watch_dialogs() {
    static DialogWatch* watch = nullptr;
    if (!watch) {
        watch = new DialogWatch;
        qApp->installEventFilter(watch);
        set_common_dialog_watcher(keep_ask);
    }
}

void testing_queue_dialog_answer(DialogAnswer answer) {
    watch_dialogs();
    queued_answers.push_back(std::move(answer));
}

// Clicks the dialog's button of that standard kind. A disabled button does
// nothing, as for a user: the dialog stays open for the next answer.
static void press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>()) {
        QPushButton* button = box->button(which);
        if (button && button->isEnabled()) {
            button->click();
            return;
        }
    }
}

static void type_names(QFileDialog* dialog, const std::string& directory,
                       const std::vector<std::string>& names) {
    dialog->setDirectory(QString::fromStdString(directory));
    QString typed;
    if (names.size() == 1) {
        typed = QString::fromStdString(names[0]);
    } else {
        for (const std::string& name : names)
            typed += '"' + QString::fromStdString(name) + "\" ";
    }
    // Typing replaces whatever the list had selected, as it does for a user
    // whose keyboard focus is in the name field.
    for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>()) {
        if (view->selectionModel())
            view->selectionModel()->clearSelection();
    }
    QLineEdit* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (edit)
        edit->setText(typed);
}

void testing_answer_open_dialog(const std::string& directory,
                                const std::vector<std::string>& names) {
    testing_queue_dialog_answer([directory, names](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files)
            return press_escape(dialog);
        type_names(files, directory, names);
        press(files, QDialogButtonBox::Open);
    });
}

void testing_answer_save_dialog(const std::string& directory, const std::string& typed_name) {
    testing_queue_dialog_answer([directory, typed_name](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files)
            return press_escape(dialog);
        type_names(files, directory, {typed_name});
        press(files, QDialogButtonBox::Save);
    });
}

void testing_answer_font_dialog(const std::string& family, int point_size, bool bold, bool italic) {
    testing_queue_dialog_answer([family, point_size, bold, italic](QDialog* dialog) {
        auto* fonts = qobject_cast<QFontDialog*>(dialog);
        if (!fonts)
            return press_escape(dialog);
        QFont font(QString::fromStdString(family), point_size, bold ? QFont::Bold : QFont::Normal,
                   italic);
        fonts->setCurrentFont(font);
        press(fonts, QDialogButtonBox::Ok);
    });
}

void testing_answer_message_box(int id) {
    testing_queue_dialog_answer([id](QDialog* dialog) {
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            QVariant answers = button->property(message_box_answer_property);
            if (answers.isValid() && answers.toInt() == id)
                return button->click();
        }
        press_escape(dialog);
    });
}

void testing_cancel_next_dialog() {
    testing_queue_dialog_answer(press_escape);
}

const std::vector<DialogRequest>& testing_dialog_requests() {
    return requests;
}

void testing_reset_dialogs() {
    watch_dialogs();
    queued_answers.clear();
    requests.clear();
}
