// What assistive technology reads from the main window and the equalizer,
// walked from the dialog's accessible root as a screen reader walks it: the
// buttons' French labels, the sliders' names and positions, the list's lines
// and which are selected, the labels' text; and a position set through the
// accessible slider reaches the dialog as a user's move does.
#include "window_fixture.h"

#include <QAccessible>
#include <QAccessibleValueInterface>

#include <string>
#include <vector>

namespace {

struct Node {
    QAccessible::Role role;
    std::string name;
    QAccessibleInterface* iface;
};

// The dialog's controls as the accessible tree gives them, in its order.
std::vector<Node> controls_of(HWND dialog) {
    std::vector<Node> nodes;
    QAccessibleInterface* root = platform_test_accessible(dialog);
    EXPECT_NE(root, nullptr);
    if (root == nullptr) {
        return nodes;
    }
    for (int i = 0; i < root->childCount(); i++) {
        QAccessibleInterface* child = root->child(i);
        EXPECT_EQ(child->parent(), root);
        EXPECT_EQ(root->indexOfChild(child), i);
        nodes.push_back({child->role(), child->text(QAccessible::Name).toStdString(), child});
    }
    return nodes;
}

std::vector<std::string> names_with_role(const std::vector<Node>& nodes, QAccessible::Role role) {
    std::vector<std::string> names;
    for (const Node& node : nodes) {
        if (node.role == role) {
            names.push_back(node.name);
        }
    }
    return names;
}

QAccessibleInterface* find(const std::vector<Node>& nodes, QAccessible::Role role,
                           const std::string& name, int nth = 0) {
    for (const Node& node : nodes) {
        if (node.role == role && node.name == name && nth-- == 0) {
            return node.iface;
        }
    }
    return nullptr;
}

INT_PTR CALLBACK shown_proc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        ShowWindow(window, SW_SHOW);
        return TRUE;
    }
    return FALSE;
}

} // namespace

TEST_F(MainWindowTest, ButtonsAndGroupsReadTheirFrenchLabels) {
    std::vector<Node> nodes = controls_of(dialog);
    EXPECT_EQ(platform_test_accessible(dialog)->text(QAccessible::Name).toStdString(), "Melodiane");
    EXPECT_EQ(names_with_role(nodes, QAccessible::Button),
              (std::vector<std::string>{"Jouer", "Pauser", "Stopper", "Égaliseur", "Précédente",
                                        "Suivante", "Fonte", "À Propos", "Haut", "Bas", "Trier",
                                        "Aléatoire", "Effacer", "Tout", "Ajouter", "Ouvrir",
                                        "Enregistrer"}));
    EXPECT_EQ(names_with_role(nodes, QAccessible::Grouping),
              (std::vector<std::string>{"Nom de l'artiste et de la musique", "Barre de temps",
                                        "Barre de volume", "Musique", "Liste"}));
    // "Répéter" is a push-like check box: read as one, with its state.
    QAccessibleInterface* repeat = find(nodes, QAccessible::CheckBox, "Répéter");
    ASSERT_NE(repeat, nullptr);
    EXPECT_TRUE(repeat->state().checkable);
    EXPECT_FALSE(repeat->state().checked);
    SendMessageA(item(IDC_REPEAT), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(repeat->state().checked);
}

TEST_F(MainWindowTest, LabelsReadTheTextTheyShow) {
    SetWindowTextA(item(IDC_TITLE_LABEL), "Artiste - Deuxi\xC3\xA8me chanson");
    SetWindowTextA(item(IDC_TIME_LABEL), "01:23");
    std::vector<std::string> labels = names_with_role(controls_of(dialog), QAccessible::StaticText);
    EXPECT_EQ(labels, (std::vector<std::string>{"01:23", "Artiste - Deuxième chanson"}));
}

TEST_F(MainWindowTest, SlidersReadTheirGroupAndPosition) {
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 80);
    SendMessageA(item(IDC_BALANCE_SLIDER), TBM_SETRANGE, TRUE, MAKELPARAM(0, 200));
    SendMessageA(item(IDC_BALANCE_SLIDER), TBM_SETPOS, TRUE, 100);
    SendMessageA(item(IDC_TIME_SLIDER), TBM_SETRANGE, TRUE, MAKELPARAM(0, 245));
    SendMessageA(item(IDC_TIME_SLIDER), TBM_SETPOS, TRUE, 61);
    std::vector<Node> nodes = controls_of(dialog);
    EXPECT_EQ(names_with_role(nodes, QAccessible::Slider),
              (std::vector<std::string>{"Barre de volume", "Barre de volume", "Barre de temps"}));

    struct Expected {
        const char* name;
        int nth, minimum, maximum, position;
    };
    for (const Expected& expected :
         {Expected{"Barre de volume", 0, 0, 100, 80}, Expected{"Barre de volume", 1, 0, 200, 100},
          Expected{"Barre de temps", 0, 0, 245, 61}}) {
        QAccessibleInterface* slider =
            find(nodes, QAccessible::Slider, expected.name, expected.nth);
        ASSERT_NE(slider, nullptr);
        QAccessibleValueInterface* value = slider->valueInterface();
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->minimumValue().toInt(), expected.minimum);
        EXPECT_EQ(value->maximumValue().toInt(), expected.maximum);
        EXPECT_EQ(value->currentValue().toInt(), expected.position);
        EXPECT_EQ(slider->text(QAccessible::Value), QString::number(expected.position));
    }

    // Set through assistive technology: the thumb moves and the dialog hears
    // of it as of a user's drag ending there.
    find(nodes, QAccessible::Slider, "Barre de temps")->valueInterface()->setCurrentValue(200);
    EXPECT_EQ(SendMessageA(item(IDC_TIME_SLIDER), TBM_GETPOS, 0, 0), 200);
    std::vector<Received> moves = received_of(WM_HSCROLL);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].wparam, MAKEWPARAM(TB_THUMBPOSITION, 200));
    EXPECT_EQ(moves[1].wparam, static_cast<WPARAM>(TB_ENDTRACK));
    EXPECT_EQ(moves[0].lparam, reinterpret_cast<LPARAM>(item(IDC_TIME_SLIDER)));
}

TEST_F(MainWindowTest, ListReadsItsLinesAndTheirSelection) {
    for (const char* line :
         {"Artiste - Chanson", "Deuxi\xC3\xA8me chanson", "Troisi\xC3\xA8me chanson"}) {
        SendMessageA(item(IDC_PLAYLIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    SendMessageA(item(IDC_PLAYLIST), LB_SETSEL, TRUE, 1);
    platform_test_settle();
    QAccessibleInterface* list = find(controls_of(dialog), QAccessible::List, "Liste");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->childCount(), 3);
    std::vector<std::string> lines;
    for (int i = 0; i < list->childCount(); i++) {
        QAccessibleInterface* line = list->child(i);
        EXPECT_EQ(line->role(), QAccessible::ListItem);
        EXPECT_EQ(line->parent(), list);
        EXPECT_EQ(list->indexOfChild(line), i);
        EXPECT_EQ(line->state().selected, i == 1);
        EXPECT_FALSE(line->state().invisible);
        QRect at = line->rect();
        EXPECT_EQ(list->childAt(at.center().x(), at.center().y()), line);
        lines.push_back(line->text(QAccessible::Name).toStdString());
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"Artiste - Chanson", "Deuxième chanson",
                                               "Troisième chanson"}));

    // A line removed is no longer read; the same child now reads the next line.
    SendMessageA(item(IDC_PLAYLIST), LB_DELETESTRING, 0, 0);
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name).toStdString(), "Deuxième chanson");
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_EQ(list->child(2), nullptr);
}

TEST(Accessibility, EqualizerBandsAreNamedByTheirFrequency) {
    platform_test_init();
    HWND equalizer =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG3), nullptr, shown_proc, 0);
    ASSERT_NE(equalizer, nullptr);
    SendMessageA(GetDlgItem(equalizer, IDC_EQ_BAND + 4), TBM_SETPOS, TRUE, 30);
    std::vector<Node> nodes = controls_of(equalizer);
    EXPECT_EQ(names_with_role(nodes, QAccessible::Slider),
              (std::vector<std::string>{"60", "170", "310", "600", "1K", "3K", "6K", "12K", "14K",
                                        "16K"}));
    EXPECT_EQ(find(nodes, QAccessible::Slider, "1K")->valueInterface()->currentValue().toInt(), 30);
    DestroyWindow(equalizer);
    platform_test_settle();
}
