// The one place the common dialogs and message boxes are run.
#include "platform/qt/common_dialogs.h"

#include "platform/qt/window_access.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDialog>

static QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

int run_common_dialog(QDialog* dialog, HWND owner, const CommonDialogAsk& ask) {
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
    return platform_exec_modal(dialog, owner);
}
