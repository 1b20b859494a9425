// GetOpenFileNameA and GetSaveFileNameA over a non-native QFileDialog, which
// behaves the same on every desktop and without one.
#include "platform/win_commdlg.h"

#include "platform/paths.h"
#include "platform/qt/commdlg/commdlg.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <algorithm>
#include <cstring>
#include <string>

// A path the program can keep: valid UTF-8 without control characters,
// which no Windows file name holds and which would split a playlist line.
static bool storable_path(const QString& path, QByteArray* ansi) {
    if (!native_path_to_ansi(QFile::encodeName(path), ansi))
        return false;
    return std::none_of(ansi->cbegin(), ansi->cend(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The Windows answers the dialog gives itself: a name that must exist but
// does not, a name that cannot be kept, a file about to be replaced.
static const char missing_text[] =
    "%1\nFichier introuvable.\nV\u00e9rifiez que le nom de fichier est correct.";
static const char invalid_text[] = "%1\nCe nom de fichier n'est pas valide.";
static const char replace_text[] = "%1 existe d\u00e9j\u00e0.\nVoulez-vous le remplacer ?";

class WindowsFileDialog : public QFileDialog {
  public:
    WindowsFileDialog(QWidget* parent, DWORD flags, bool save)
        : QFileDialog(parent), flags_(flags), save_(save) {}

    // Follows the user's hand between the name field and the list, and for
    // an open dialog keeps Open enabled while a name is typed: Qt disables it
    // while a typed name does not exist, so that pressing it or Enter would
    // do nothing at all, where the Windows dialog answers with its message.
    void watch_name_field() {
        name_edit_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* list = findChild<QListView*>(QStringLiteral("listView"));
        if (!name_edit_ || !list || !list->selectionModel())
            return;
        // Typing selects the lines it names before textEdited arrives.
        connect(name_edit_, &QLineEdit::textEdited, this, [this] { typed_ = true; });
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { typed_ = false; });
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        open_button_ = buttons && !save_ ? buttons->button(QDialogButtonBox::Open) : nullptr;
        if (!open_button_)
            return;
        // Qt updates the button on each change of the name and of the
        // selection; these run after it.
        open_button_->installEventFilter(this);
        connect(name_edit_, &QLineEdit::textChanged, this,
                [this] { enable_open_for_typed_name(); });
    }

    // Checks the names as the Windows dialog does before it closes; a
    // refused name keeps the dialog open. After typing, the names typed are
    // the answer, as on Windows: Qt would answer with the lines the typing
    // selected in the list, which leave out names that do not exist, and
    // after a lone double quote hold the folder itself.
    void accept() override {
        QStringList files = typed_ ? typed_files() : selectedFiles();
        if (files.isEmpty())
            return;
        for (const QString& file : files) {
            if (QFileInfo(file).isDir()) {
                setDirectory(file); // opens the folder
                if (name_edit_)
                    name_edit_->clear();
                return;
            }
        }
        if (flags_ & OFN_FILEMUSTEXIST) {
            for (const QString& file : files) {
                if (!QFileInfo::exists(file)) {
                    tell(missing_text, file, MB_OK | MB_ICONWARNING);
                    return;
                }
            }
        }
        if (save_) {
            QByteArray ansi;
            if (!storable_path(files[0], &ansi)) {
                tell(invalid_text, files[0], MB_OK | MB_ICONWARNING);
                return;
            }
            if ((flags_ & OFN_OVERWRITEPROMPT) && QFileInfo::exists(files[0]) &&
                tell(replace_text, files[0], MB_YESNO | MB_ICONWARNING) != IDYES)
                return;
        }
        chosen_ = files;
        QDialog::accept();
    }

    // The files accept() let through.
    const QStringList& chosen() const {
        return chosen_;
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == open_button_ && event->type() == QEvent::EnabledChange)
            enable_open_for_typed_name();
        return QFileDialog::eventFilter(watched, event);
    }

  private:
    void enable_open_for_typed_name() {
        if (!open_button_->isEnabled() && !name_edit_->text().isEmpty())
            open_button_->setEnabled(true);
    }

    // The names in the name field, one, or several each in double quotes,
    // as paths in the folder shown; a name without a dot gets the default
    // extension.
    QStringList typed_files() const {
        QString text = name_edit_ ? name_edit_->text() : QString();
        QStringList names = text.contains('"') ? text.split('"') : QStringList{QString(), text};
        QStringList files;
        QDir folder = directory();
        for (qsizetype i = 1; i < names.size(); i += 2) {
            QString name = names[i];
            if (name.isEmpty())
                continue;
            if (!defaultSuffix().isEmpty() && !QFileInfo(name).fileName().contains('.') &&
                !QFileInfo(folder.absoluteFilePath(name)).isDir())
                name += '.' + defaultSuffix();
            files << QDir::cleanPath(folder.absoluteFilePath(name));
        }
        return files;
    }

    int tell(const char* text, const QString& file, UINT type) {
        QString message = QString::fromUtf8(text).arg(QFileInfo(file).fileName());
        return show_message_box(this, nullptr, message, windowTitle(), type);
    }

    DWORD flags_;
    bool save_;
    QLineEdit* name_edit_ = nullptr;
    QPushButton* open_button_ = nullptr;
    bool typed_ = false; // the name field was typed in since the list's selection changed
    QStringList chosen_;
};

// The pairs of lpstrFilter: description and patterns, each NUL-terminated,
// the list closed by an empty string.
static std::vector<std::pair<std::string, std::string>> filter_pairs(const char* filter) {
    std::vector<std::pair<std::string, std::string>> pairs;
    while (filter && *filter) {
        const char* patterns = filter + std::strlen(filter) + 1;
        if (!*patterns)
            break;
        pairs.emplace_back(filter, patterns);
        filter = patterns + std::strlen(patterns) + 1;
    }
    return pairs;
}

// A Qt name filter that shows the Windows description alone ("(...)"
// details hidden) and matches the Windows patterns.
static QString qt_filter(const std::pair<std::string, std::string>& pair) {
    QString patterns = ansi_to_qstring(pair.second.c_str()).replace(';', ' ');
    return ansi_to_qstring(pair.first.c_str()) + " (" + patterns + ")";
}

static void copy_out(LPSTR buffer, const QByteArray& bytes) {
    std::memcpy(buffer, bytes.constData(), bytes.size());
}

// Writes the chosen files into the caller's buffers exactly as Windows does:
// one file as its full path (and its name in lpstrFileTitle); several as the
// directory, each name, all NUL-terminated, and one more NUL. Names that
// cannot be stored (see storable_path) are left out, since they could never be opened
// again, and so are names outside the first one's directory. FALSE when
// nothing is left or the answer does not fit.
static BOOL write_answer(LPOPENFILENAMEA ofn, const QStringList& files) {
    QByteArray directory;
    std::vector<QByteArray> names;
    for (const QString& file : files) {
        QFileInfo info(file);
        QByteArray folder, name;
        if (!storable_path(info.absolutePath(), &folder) || !storable_path(info.fileName(), &name))
            continue;
        if (names.empty())
            directory = folder;
        if (folder == directory)
            names.push_back(name);
    }
    if (names.empty())
        return FALSE;

    QByteArray answer;
    WORD offset = 0, extension = 0;
    if (names.size() == 1) {
        if (!directory.endsWith(PATH_SEPARATOR))
            directory += PATH_SEPARATOR;
        answer = directory + names[0];
        offset = static_cast<WORD>(directory.size());
        qsizetype dot = names[0].lastIndexOf('.');
        // No extension: the offset of the terminator; a name ending in '.': 0.
        if (dot < 0)
            extension = static_cast<WORD>(answer.size());
        else if (dot + 1 < names[0].size())
            extension = static_cast<WORD>(offset + dot + 1);
        answer += '\0';
    } else {
        answer = directory + '\0';
        offset = static_cast<WORD>(answer.size());
        for (const QByteArray& name : names)
            answer += name + '\0';
        answer += '\0';
    }
    if (!ofn->lpstrFile || static_cast<DWORD>(answer.size()) > ofn->nMaxFile) {
        // Windows puts the size needed in the first two bytes.
        if (ofn->lpstrFile && ofn->nMaxFile >= 2) {
            WORD needed = static_cast<WORD>(std::min<qsizetype>(answer.size(), 0xFFFF));
            std::memcpy(ofn->lpstrFile, &needed, sizeof needed);
        }
        return FALSE;
    }
    if (names.size() == 1 && ofn->lpstrFileTitle) {
        if (static_cast<DWORD>(names[0].size()) + 1 > ofn->nMaxFileTitle)
            return FALSE;
        copy_out(ofn->lpstrFileTitle, names[0] + '\0');
    }
    copy_out(ofn->lpstrFile, answer);
    ofn->nFileOffset = offset;
    ofn->nFileExtension = extension;
    return TRUE;
}

static BOOL run_file_dialog(LPOPENFILENAMEA ofn, bool save) {
    if (!ofn)
        return FALSE;
    WindowsFileDialog dialog(platform_widget(ofn->hwndOwner), ofn->Flags, save);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The overwrite question is asked by accept(), and only when requested.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!save && (ofn->Flags & OFN_ALLOWMULTISELECT))
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else if (!save && (ofn->Flags & OFN_FILEMUSTEXIST))
        dialog.setFileMode(QFileDialog::ExistingFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.watch_name_field();
    dialog.setWindowTitle(ofn->lpstrTitle ? ansi_to_qstring(ofn->lpstrTitle)
                          : save          ? QStringLiteral("Enregistrer sous")
                                          : QStringLiteral("Ouvrir"));
    // Windows matches patterns without regard to case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);

    std::vector<std::pair<std::string, std::string>> pairs = filter_pairs(ofn->lpstrFilter);
    QStringList filters, patterns;
    for (const auto& pair : pairs) {
        filters << qt_filter(pair);
        patterns << ansi_to_qstring(pair.second.c_str()).split(';');
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        // Index 0 (no custom filter) and an index past the end mean the first pair.
        DWORD index = ofn->nFilterIndex;
        dialog.selectNameFilter(filters[index >= 1 && index <= filters.size() ? index - 1 : 0]);
    }
    if (ofn->lpstrDefExt)
        dialog.setDefaultSuffix(ansi_to_qstring(ofn->lpstrDefExt));
    if (ofn->lpstrInitialDir && ofn->lpstrInitialDir[0])
        dialog.setDirectory(ansi_to_qstring(ofn->lpstrInitialDir));
    else
        dialog.setDirectory(file_dialog_start_folder());
    dialog.setSidebarUrls(file_dialog_places());
    if (ofn->lpstrFile && ofn->nMaxFile > 0 && ofn->lpstrFile[0])
        dialog.selectFile(ansi_to_qstring(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile)));
    fit_file_dialog_columns(&dialog, patterns);

    CommonDialogAsk ask{};
    ask.kind = save ? "save" : "open";
    ask.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    ask.filters = pairs;
    ask.default_extension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    ask.flags = ofn->Flags;
    if (run_common_dialog(&dialog, ofn->hwndOwner, ask) != QDialog::Accepted)
        return FALSE;

    qsizetype chosen_filter = filters.indexOf(dialog.selectedNameFilter());
    if (chosen_filter >= 0)
        ofn->nFilterIndex = static_cast<DWORD>(chosen_filter + 1);
    BOOL answered = write_answer(ofn, dialog.chosen());
    if (answered)
        file_dialog_remember_folder(QFileInfo(dialog.chosen().front()).absolutePath());
    return answered;
}

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return run_file_dialog(ofn, false);
}

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return run_file_dialog(ofn, true);
}
