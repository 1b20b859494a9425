// The open and save dialogs through the real QFileDialog: the answer in the
// caller's buffers exactly as Windows writes it, filters, and the questions
// the dialog asks itself.
#include "platform/testing_dialogs.h"
#include "platform/win32.h"

#include "platform/file_helpers.h"
#include "platform/qt_app.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTranslator>
#include <QUrl>
#include <QTreeView>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace std::string_literals;

static const char playlist_filters[] = "Fichiers MP3(*.mp3)\0*.mp3\0Fichiers M3U(*.m3u)\0*.m3u\0";

class FileDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        test_application();
        testing_reset_dialogs();
        for (const char* name : {"a.mp3", "b.mp3", "list.m3u", "\xC3\xA9t\xC3\xA9.mp3",
                                 "\xE6\x97\xA5.mp3", "LOUD.MP3", "notes.txt"})
            write_bytes(dir.file(name), "x");
    }

    // The Add command's dialog: 65535 bytes for the answer, 16384 for the title.
    BOOL open(const char* title = "Ajouter") {
        std::fill(file.begin(), file.end(), '\0');
        std::fill(file_title.begin(), file_title.end(), '\0');
        ofn = OPENFILENAMEA{};
        ofn.lStructSize = 76;
        ofn.lpstrFilter = playlist_filters;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(max_file);
        ofn.lpstrFileTitle = file_title.data();
        ofn.nMaxFileTitle = 16384;
        ofn.lpstrTitle = title;
        ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT;
        return GetOpenFileNameA(&ofn);
    }

    // The strings of a multiple-selection answer, up to the empty one.
    std::vector<std::string> answer_strings() const {
        std::vector<std::string> strings;
        const char* p = file.data();
        while (*p) {
            strings.push_back(p);
            p += strings.back().size() + 1;
        }
        return strings;
    }

    ScratchDir dir;
    std::vector<char> file = std::vector<char>(65535, '\0');
    std::vector<char> file_title = std::vector<char>(16384, '\0');
    size_t max_file = 65535;
    OPENFILENAMEA ofn{};
};

TEST_F(FileDialog, SeveralFilesGiveTheDirectoryThenEachName) {
    testing_answer_open_dialog(dir.path(), {"a.mp3", "list.m3u", "\xC3\xA9t\xC3\xA9.mp3"});
    ASSERT_TRUE(open());

    std::vector<std::string> strings = answer_strings();
    ASSERT_EQ(strings.size(), 4u);
    EXPECT_EQ(strings[0], dir.path()); // no separator at the end
    std::set<std::string> names(strings.begin() + 1, strings.end());
    EXPECT_EQ(names, (std::set<std::string>{"a.mp3", "list.m3u", "\xC3\xA9t\xC3\xA9.mp3"}));
    size_t length = dir.path().size() + 1 + 6 + 9 + 10 + 1;
    EXPECT_EQ(std::string(file.data(), length).back(), '\0');
    EXPECT_EQ(file[length - 2], '\0');
    EXPECT_EQ(ofn.nFileOffset, dir.path().size() + 1);

    ASSERT_EQ(testing_dialog_requests().size(), 1u);
    const DialogRequest& asked = testing_dialog_requests()[0];
    EXPECT_EQ(asked.kind, DialogKind::open_file);
    EXPECT_EQ(asked.title, "Ajouter");
    EXPECT_EQ(asked.flags, 0x81200u);
    std::vector<std::pair<std::string, std::string>> filters = {{"Fichiers MP3(*.mp3)", "*.mp3"},
                                                                {"Fichiers M3U(*.m3u)", "*.m3u"}};
    EXPECT_EQ(asked.filters, filters);
    EXPECT_TRUE(asked.answered);
}

TEST_F(FileDialog, OneFileGivesTheFullPathAndTheTitle) {
    testing_answer_open_dialog(dir.path(), {"list.m3u"});
    ASSERT_TRUE(open("Ouvrir"));
    std::string path = dir.path() + "/list.m3u";
    EXPECT_EQ(std::string(file.data()), path);
    EXPECT_EQ(file[path.size() + 1], '\0'); // one name only: no second string
    EXPECT_EQ(std::string(file_title.data()), "list.m3u");
    EXPECT_EQ(ofn.nFileOffset, dir.path().size() + 1);
    EXPECT_EQ(ofn.nFileExtension, path.size() - 3);
    EXPECT_EQ(testing_dialog_requests()[0].title, "Ouvrir");
}

TEST_F(FileDialog, NamesInEveryScriptAreAnsweredWhole) {
    testing_answer_open_dialog(dir.path(), {"\xE6\x97\xA5.mp3", "b.mp3"});
    ASSERT_TRUE(open());
    EXPECT_EQ(answer_strings(),
              (std::vector<std::string>{dir.path(), "\xE6\x97\xA5.mp3", "b.mp3"}));
}

TEST_F(FileDialog, AnAnswerThatDoesNotFitFails) {
    std::string path = dir.path() + "/a.mp3";
    max_file = path.size(); // one byte short of the terminator
    testing_answer_open_dialog(dir.path(), {"a.mp3"});
    EXPECT_FALSE(open());
    WORD needed = 0;
    std::memcpy(&needed, file.data(), sizeof needed);
    EXPECT_EQ(needed, path.size() + 1); // Windows puts the size needed there

    max_file = path.size() + 1;
    testing_answer_open_dialog(dir.path(), {"a.mp3"});
    ASSERT_TRUE(open());
    EXPECT_EQ(std::string(file.data()), path);

    // Several names: directory, names and the closing NUL must all fit.
    max_file = dir.path().size() + 1 + 6 + 6;
    testing_answer_open_dialog(dir.path(), {"a.mp3", "b.mp3"});
    EXPECT_FALSE(open());
}

TEST_F(FileDialog, CancelChangesNothing) {
    testing_cancel_next_dialog();
    EXPECT_FALSE(open());
    EXPECT_EQ(file[0], '\0');
    EXPECT_EQ(file_title[0], '\0');
    // No answer left: the dialog is cancelled rather than waiting for a person.
    EXPECT_FALSE(open());
    EXPECT_FALSE(testing_dialog_requests().back().answered);
}

// Types text into the dialog's name field and presses Enter, as a user
// whose keyboard focus is in it.
static void type_and_enter(QFileDialog* dialog, const std::string& directory, const QString& text) {
    dialog->setDirectory(QString::fromStdString(directory));
    QLineEdit* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    // Without the focus, Qt would replace the names with the lines they select.
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog, 5000));
    edit->setFocus();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

TEST_F(FileDialog, AMissingNameTypedIsRefusedWithAMessage) {
    for (QString typed : {"gone.mp3", "\"a.mp3\" \"gone.mp3\""}) {
        testing_reset_dialogs();
        testing_queue_dialog_answer([&](QDialog* dialog) {
            type_and_enter(qobject_cast<QFileDialog*>(dialog), dir.path(), typed);
        });
        testing_answer_message_box(IDOK);
        testing_answer_open_dialog(dir.path(), {"a.mp3"}); // the dialog is still open
        ASSERT_TRUE(open());
        EXPECT_EQ(std::string(file_title.data()), "a.mp3");
        ASSERT_EQ(testing_dialog_requests().size(), 2u) << typed.toStdString();
        const DialogRequest& message = testing_dialog_requests()[1];
        EXPECT_EQ(message.kind, DialogKind::message_box);
        EXPECT_EQ(
            message.text,
            "gone.mp3\nFichier introuvable.\nV\xC3\xA9rifiez que le nom de fichier est correct.");
        EXPECT_EQ(message.title, "Ajouter");
    }
}

// The names the dialog's list shows once it has read the directory.
static std::set<std::string> listed_names(QFileDialog* dialog) {
    QListView* list = dialog->findChild<QListView*>("listView");
    std::set<std::string> names;
    QElapsedTimer waited;
    waited.start();
    while (list && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QAbstractItemModel* model = list->model();
        names.clear();
        for (int row = 0; row < model->rowCount(list->rootIndex()); row++)
            names.insert(model->index(row, 0, list->rootIndex()).data().toString().toStdString());
        if (names.size() >= 4)
            break;
    }
    return names;
}

TEST_F(FileDialog, FiltersMatchNamesWithoutRegardToCase) {
    std::set<std::string> shown;
    testing_queue_dialog_answer([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        files->setDirectory(QString::fromStdString(dir.path()));
        shown = listed_names(files);
        dialog->reject();
    });
    EXPECT_FALSE(open());
    EXPECT_EQ(shown, (std::set<std::string>{"a.mp3", "b.mp3", "LOUD.MP3", "\xC3\xA9t\xC3\xA9.mp3",
                                            "\xE6\x97\xA5.mp3"}));
}

TEST_F(FileDialog, EveryColumnIsReadableWithoutResizing) {
    // The headings in French, as the program shows them: longer than Qt's own.
    QTranslator french;
    ASSERT_TRUE(french.load("qtbase_fr", QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&french);
    write_bytes(dir.file("un titre plus long que pr\xC3\xA9vu au d\xC3\xA9part.mp3"), "x");
    testing_queue_dialog_answer([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        files->setDirectory(QString::fromStdString(dir.path()));
        auto* tree = files->findChild<QTreeView*>("treeView");
        ASSERT_NE(tree, nullptr);
        QAbstractItemView* view = tree; // QTreeView hides the view's sizeHintForColumn
        EXPECT_TRUE(tree->isVisible());
        QHeaderView* header = tree->header();
        ASSERT_EQ(header->count(), 4); // name, size, type, date
        auto readable = [&] {
            if (tree->model()->rowCount(tree->rootIndex()) < 6)
                return false;
            for (int column = 0; column < 4; column++) {
                if (header->sectionSize(column) < view->sizeHintForColumn(column))
                    return false;
            }
            return header->length() <= tree->viewport()->width();
        };
        QElapsedTimer waited;
        waited.start();
        while (!readable() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        for (int column = 0; column < 4; column++) {
            SCOPED_TRACE(
                header->model()->headerData(column, Qt::Horizontal).toString().toStdString());
            EXPECT_FALSE(header->isSectionHidden(column));
            EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
            EXPECT_GE(header->sectionSize(column), view->sizeHintForColumn(column));
        }
        EXPECT_LE(header->length(), tree->viewport()->width());
        EXPECT_FALSE(tree->horizontalScrollBar()->isVisible());
        QAbstractItemView* places = files->findChild<QListView*>("sidebar");
        ASSERT_NE(places, nullptr);
        EXPECT_GE(places->viewport()->width(), places->sizeHintForColumn(0));
        dialog->reject();
    });
    EXPECT_FALSE(open());
    QCoreApplication::removeTranslator(&french);
}

TEST_F(FileDialog, AFolderClickedAfterTypingIsOpenedByOpen) {
    ASSERT_TRUE(QDir(QString::fromStdString(dir.path())).mkdir("sous-dossier"));
    std::string shown;
    testing_queue_dialog_answer([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        type_and_enter(files, dir.path(), "gone"); // refused with the message
        listed_names(files);
        auto* tree = files->findChild<QTreeView*>("treeView");
        QAbstractItemModel* model = tree->model();
        QModelIndexList found = model->match(model->index(0, 0, tree->rootIndex()), Qt::DisplayRole,
                                             "sous-dossier", 1, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(found[0]).center());
        QTest::mouseClick(files->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open),
                          Qt::LeftButton);
        shown = files->directory().dirName().toStdString();
        dialog->reject();
    });
    testing_answer_message_box(IDOK);
    EXPECT_FALSE(open());
    EXPECT_EQ(shown, "sous-dossier");
    EXPECT_EQ(testing_dialog_requests().size(), 2u); // one message, for the typed name
}

class SaveDialog : public FileDialog {
  protected:
    // The Save command's dialog.
    BOOL save() {
        std::fill(file.begin(), file.begin() + 260, '\0');
        ofn = OPENFILENAMEA{};
        ofn.lStructSize = 76;
        ofn.lpstrFilter = "Fichiers M3U(*.m3u)\0*.m3u\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = 260;
        ofn.lpstrFileTitle = file_title.data();
        ofn.nMaxFileTitle = 260;
        ofn.lpstrTitle = "Enregistrer";
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
        ofn.lpstrDefExt = "m3u";
        return GetSaveFileNameA(&ofn);
    }
};

TEST_F(SaveDialog, DefaultExtensionIsAddedToATypedName) {
    testing_answer_save_dialog(dir.path(), "new");
    ASSERT_TRUE(save());
    EXPECT_EQ(std::string(file.data()), dir.path() + "/new.m3u");
    EXPECT_EQ(std::string(file_title.data()), "new.m3u");
    // Only the save dialog was shown: no question for a new file.
    ASSERT_EQ(testing_dialog_requests().size(), 1u);
    EXPECT_EQ(testing_dialog_requests()[0].kind, DialogKind::save_file);
    EXPECT_EQ(testing_dialog_requests()[0].default_extension, "m3u");
    EXPECT_EQ(ofn.nFilterIndex, 1u);
}

TEST_F(SaveDialog, ReplacingAFileIsAskedFirst) {
    // "No" keeps the dialog open; the next name is new.
    testing_answer_save_dialog(dir.path(), "list");
    testing_answer_message_box(IDNO);
    testing_answer_save_dialog(dir.path(), "other.m3u");
    ASSERT_TRUE(save());
    EXPECT_EQ(std::string(file.data()), dir.path() + "/other.m3u");
    ASSERT_EQ(testing_dialog_requests().size(), 2u);
    const DialogRequest& question = testing_dialog_requests()[1];
    EXPECT_EQ(question.text, "list.m3u existe d\xC3\xA9j\xC3\xA0.\nVoulez-vous le remplacer ?");
    EXPECT_EQ(question.flags, unsigned(MB_YESNO | MB_ICONWARNING));

    testing_answer_save_dialog(dir.path(), "list.m3u");
    testing_answer_message_box(IDYES);
    ASSERT_TRUE(save());
    EXPECT_EQ(std::string(file.data()), dir.path() + "/list.m3u");
}

TEST_F(SaveDialog, ANameInAnyScriptIsTaken) {
    testing_answer_save_dialog(dir.path(), "\xE6\x97\xA5");
    ASSERT_TRUE(save());
    EXPECT_EQ(std::string(file.data()), dir.path() + "/\xE6\x97\xA5.m3u");
}

TEST_F(FileDialog, WithNoStartFolderItOpensWhereFilesWereLastChosenElseInTheMusicFolder) {
    ScratchDir config;
    QByteArray saved_config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    std::string music = config.file("Musique");
    QDir().mkpath(QString::fromStdString(music));
    write_bytes(config.file("user-dirs.dirs"), "XDG_MUSIC_DIR=\"" + music + "\"\n");
    std::string remembered = config.file("melodiane/file-dialog-folder");
    std::string other = dir.file("autre");
    QDir().mkpath(QString::fromStdString(other));
    write_bytes(other + "/c.mp3", "x");

    std::string opened_in;
    QList<QUrl> side;
    auto look = [&] {
        opened_in.clear();
        testing_queue_dialog_answer([&](QDialog* shown) {
            auto* dialog = qobject_cast<QFileDialog*>(shown);
            opened_in = dialog->directory().absolutePath().toStdString();
            side = dialog->sidebarUrls();
        }); // then closed with Esc
        EXPECT_FALSE(open());
        return opened_in;
    };

    // At first: the music folder, with the usual places on the side.
    EXPECT_EQ(look(), music);
    ASSERT_GE(side.size(), 3);
    EXPECT_EQ(side[0].toLocalFile().toStdString(), music);
    EXPECT_EQ(side[1].toLocalFile(), QDir::homePath());
    EXPECT_TRUE(side.contains(QUrl::fromLocalFile(QDir::rootPath())));
    EXPECT_FALSE(exists(remembered)); // nothing chosen, nothing kept

    // Files chosen: that folder next time, and in the next run (the file).
    testing_answer_open_dialog(dir.path(), {"a.mp3"});
    ASSERT_TRUE(open());
    EXPECT_EQ(read_bytes(remembered), dir.path() + "\n");
    struct stat st;
    ASSERT_EQ(lstat(remembered.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(look(), dir.path());

    // Links planted at the file and at its temporary name are replaced,
    // never followed.
    write_bytes(config.file("victim"), "keep");
    ASSERT_EQ(unlink(remembered.c_str()), 0);
    ASSERT_EQ(symlink(config.file("victim").c_str(), remembered.c_str()), 0);
    ASSERT_EQ(symlink(config.file("victim").c_str(), (remembered + ".new").c_str()), 0);
    EXPECT_EQ(look(), music); // a link is not read either
    testing_answer_open_dialog(other, {"c.mp3"});
    ASSERT_TRUE(open());
    EXPECT_EQ(read_bytes(config.file("victim")), "keep");
    ASSERT_EQ(lstat(remembered.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_FALSE(exists(remembered + ".new"));
    EXPECT_EQ(look(), other);

    // A folder since removed: the music folder again.
    QDir(QString::fromStdString(other)).removeRecursively();
    EXPECT_EQ(look(), music);

    if (saved_config.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved_config);
}
