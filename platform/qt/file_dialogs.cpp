// GetOpenFileNameA and GetSaveFileNameA over a non-native QFileDialog, which
// behaves the same on every desktop and without one.
#include "platform/win_commdlg.h"

#include "platform/paths.h"
#include "platform/qt/common_dialogs.h"
#include "platform/qt/encoding.h"
#include "platform/qt/window_access.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <string>

// A path the program can keep: Windows-1252 text without control characters,
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

    // Checks the chosen names as the Windows dialog does before it closes;
    // a refused name keeps the dialog open.
    void accept() override {
        QStringList files = selectedFiles();
        if (files.isEmpty() || std::any_of(files.begin(), files.end(), [](const QString& file) {
                return QFileInfo(file).isDir();
            })) {
            QFileDialog::accept(); // opens the folder
            return;
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
        QFileDialog::accept();
    }

  private:
    int tell(const char* text, const QString& file, UINT type) {
        QString message = QString::fromUtf8(text).arg(QFileInfo(file).fileName());
        return show_message_box(this, nullptr, message, windowTitle(), type);
    }

    DWORD flags_;
    bool save_;
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
    dialog.setWindowTitle(ofn->lpstrTitle ? ansi_to_qstring(ofn->lpstrTitle)
                          : save          ? QStringLiteral("Enregistrer sous")
                                          : QStringLiteral("Ouvrir"));
    // Windows matches patterns without regard to case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);

    std::vector<std::pair<std::string, std::string>> pairs = filter_pairs(ofn->lpstrFilter);
    QStringList filters;
    for (const auto& pair : pairs)
        filters << qt_filter(pair);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        // Index 0 (no custom filter) and an index past the end mean the first pair.
        DWORD index = ofn->nFilterIndex;
        dialog.selectNameFilter(filters[index >= 1 && index <= filters.size() ? index - 1 : 0]);
    }
    if (ofn->lpstrDefExt)
        dialog.setDefaultSuffix(ansi_to_qstring(ofn->lpstrDefExt));
    if (ofn->lpstrInitialDir)
        dialog.setDirectory(ansi_to_qstring(ofn->lpstrInitialDir));
    if (ofn->lpstrFile && ofn->nMaxFile > 0 && ofn->lpstrFile[0])
        dialog.selectFile(ansi_to_qstring(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile)));

    DialogRequest request{};
    request.kind = save ? DialogKind::save_file : DialogKind::open_file;
    request.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    request.filters = pairs;
    request.default_extension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    request.flags = ofn->Flags;
    if (run_common_dialog(&dialog, ofn->hwndOwner, request) != QDialog::Accepted)
        return FALSE;

    qsizetype chosen_filter = filters.indexOf(dialog.selectedNameFilter());
    if (chosen_filter >= 0)
        ofn->nFilterIndex = static_cast<DWORD>(chosen_filter + 1);
    return write_answer(ofn, dialog.selectedFiles());
}

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return run_file_dialog(ofn, false);
}

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return run_file_dialog(ofn, true);
}
