// Column widths for the file dialogs' detail view, first from sample texts
// in the locale's formats, then from the folder's own entries once read.
#include "platform/qt/commdlg/commdlg.h"

#include <QAbstractFileIconProvider>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QLocale>
#include <QMimeDatabase>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <array>

enum { name_column, size_column, type_column, date_column, column_count };
typedef std::array<int, column_count> ColumnWidths;

// The name column before the folder is read, and the most any column grows
// to for a long name or type, in characters: past that a text is cut.
static const int first_name_chars = 32;
static const int widest_column_chars = 60;

// What a cell needs for text: the item delegate's margin on either side.
static int cell_width(const QTreeView* tree, const QString& text) {
    int margin = tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    return tree->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

// The type the column shows for a file matching pattern ("*.mp3").
static QString pattern_type(const QString& pattern) {
    QString suffix = pattern.section('.', -1);
    if (!pattern.contains('.') || suffix.contains('*') || suffix.contains('?'))
        return QString();
    QMimeType type = QMimeDatabase().mimeTypeForFile("x." + suffix, QMimeDatabase::MatchExtension);
    return type.comment().isEmpty() ? type.name() : type.comment();
}

// Widths for the texts the columns will hold, in the formats the model
// uses: a size of a few tens of megabytes, a date with two-digit fields, the
// folder type and the types of the filter's files; each at least its heading.
static ColumnWidths expected_widths(QFileDialog* dialog, QTreeView* tree,
                                    const QStringList& patterns) {
    QLocale locale = QLocale::system();
    int icon = tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
    ColumnWidths widths{};
    widths[name_column] = icon + cell_width(tree, QString(first_name_chars, 'x'));
    widths[size_column] = cell_width(tree, locale.formattedDataSize(Q_INT64_C(99) << 20));
    QDateTime sample_date(QDate(2000, 12, 28), QTime(20, 28, 28));
    widths[date_column] = cell_width(tree, locale.toString(sample_date, QLocale::ShortFormat));
    QStringList types = patterns;
    std::transform(types.begin(), types.end(), types.begin(), pattern_type);
    if (dialog->iconProvider())
        types << dialog->iconProvider()->type(QFileInfo(dialog->directory().absolutePath()));
    for (const QString& type : types)
        widths[type_column] = std::max(widths[type_column], cell_width(tree, type));
    for (int column = 0; column < column_count; column++)
        widths[column] = std::max(widths[column], tree->header()->sectionSizeHint(column));
    return widths;
}

// Gives the columns their widths and the view room for them all, with its
// vertical scroll bar. On a screen too narrow for that, the name column
// gives way, down to its heading.
static void apply_widths(QTreeView* tree, ColumnWidths widths) {
    QHeaderView* header = tree->header();
    int others = widths[size_column] + widths[type_column] + widths[date_column] +
                 2 * tree->frameWidth() + tree->verticalScrollBar()->sizeHint().width();
    if (QScreen* screen = tree->screen()) {
        int room = screen->availableGeometry().width() * 4 / 5 - others;
        widths[name_column] =
            std::max(std::min(widths[name_column], room), header->sectionSizeHint(name_column));
    }
    for (int column = 0; column < column_count; column++) {
        header->showSection(column);
        header->resizeSection(column, widths[column]);
    }
    tree->setMinimumWidth(widths[name_column] + others);
}

void fit_file_dialog_columns(QFileDialog* dialog, const QStringList& patterns) {
    dialog->setViewMode(QFileDialog::Detail);
    auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (!tree || !model)
        return;
    ColumnWidths widths = expected_widths(dialog, tree, patterns);
    apply_widths(tree, widths);
    // The places beside the view ("Ordinateur", the home folder) show whole too.
    if (QAbstractItemView* places = dialog->findChild<QListView*>(QStringLiteral("sidebar"))) {
        places->setMinimumWidth(places->sizeHintForColumn(0) + 2 * places->frameWidth() +
                                places->verticalScrollBar()->sizeHint().width());
    }
    // The folder's own entries may need more: a long name, an unusual type.
    // (QTreeView hides the view's public sizeHintForColumn.)
    QAbstractItemView* view = tree;
    int widest = tree->fontMetrics().averageCharWidth() * widest_column_chars;
    auto widen = [tree, view, widths, widest]() mutable {
        bool grown = false;
        for (int column = 0; column < column_count; column++) {
            int held = std::min(view->sizeHintForColumn(column), widest);
            if (held > widths[column]) {
                widths[column] = held;
                grown = true;
            }
        }
        if (grown)
            apply_widths(tree, widths);
    };
    QObject::connect(model, &QFileSystemModel::directoryLoaded, tree, widen);
}
