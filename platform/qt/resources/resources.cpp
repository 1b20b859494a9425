// Reading the resource script from the Qt resources.
#include "platform/qt/resources/resources.h"

#include "platform/files/file_text.h"
#include "platform/qt/system/system.h"

#include <QDir>
#include <QFile>

#include <memory>

static QString resource_root = QStringLiteral(":/app/");
static std::unique_ptr<RcScript> script;

void resources_set_root(const QString& root) {
    resource_root = root.endsWith('/') ? root : root + '/';
    script.reset();
}

QString resources_path(const std::string& file) {
    QString name = ansi_to_qstring(file.c_str()).replace('\\', '/');
    return QDir::cleanPath(resource_root + name);
}

const RcScript& resources_script() {
    if (!script) {
        script = std::make_unique<RcScript>();
        QFile file(resources_path("melodiane.rc"));
        if (file.open(QIODevice::ReadOnly)) {
            QByteArray bytes = file.readAll();
            std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            // The script is Windows-1252 (its code_page pragma), the program's text UTF-8.
            file_bytes_to_text(&text);
            // The build read this script whole; a script put in its place by
            // hand may not be.
            std::string error = parse_rc_script(text, script.get());
            if (!error.empty()) {
                qWarning("resource script: %s", error.c_str());
            }
        }
    }
    return *script;
}

const RcDialog* resources_find_dialog(const char* name) {
    for (const RcDialog& dialog : resources_script().dialogs) {
        if (rc_name_matches(dialog.name, name)) {
            return &dialog;
        }
    }
    return nullptr;
}

const RcMenu* resources_find_menu(const char* name) {
    for (const RcMenu& menu : resources_script().menus) {
        if (rc_name_matches(menu.name, name)) {
            return &menu;
        }
    }
    return nullptr;
}

const RcFile* resources_find_file(const char* type, const char* name) {
    for (const RcFile& file : resources_script().files) {
        if (file.type == type && rc_name_matches(file.name, name)) {
            return &file;
        }
    }
    return nullptr;
}
