// Menus from the resource script: LoadMenuA, GetSubMenu, TrackPopupMenu
// (a QMenu at the screen point) and DestroyMenu, which also closes a menu
// that is open.
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"
#include "platform/qt/resources/resources.h"

#include <QMenu>

#include <unordered_set>

struct HMENU__ {
    struct Item {
        UINT id = 0;
        std::string text; // UTF-8
        bool separator = false;
        bool grayed = false;
        bool checked = false;
        HMENU popup = nullptr; // owned by this menu
    };
    std::vector<Item> items;
    int tracking = 0; // TrackPopupMenu calls showing this menu
    bool destroyed = false;
    QPointer<QMenu> shown; // the open pop-up, while tracking
};

// Live menus. UI thread only.
static std::unordered_set<HMENU> live_menus;

static HMENU build_menu(const std::vector<RcMenuItem>& items) {
    HMENU menu = new HMENU__;
    live_menus.insert(menu);
    for (const RcMenuItem& source : items) {
        HMENU__::Item item;
        item.id = static_cast<UINT>(source.id);
        item.text = source.text;
        item.separator = source.separator;
        if (source.popup) {
            item.popup = build_menu(source.items);
        }
        menu->items.push_back(item);
    }
    return menu;
}

HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR menu_name) {
    const RcMenu* menu = resources_find_menu(menu_name);
    return menu != nullptr ? build_menu(menu->items) : nullptr;
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    if (live_menus.count(menu) == 0 || position < 0 ||
        position >= static_cast<int>(menu->items.size())) {
        return nullptr;
    }
    return menu->items[static_cast<std::size_t>(position)].popup;
}

static void destroy_menu(HMENU menu) {
    for (HMENU__::Item& item : menu->items) {
        if (item.popup != nullptr) {
            destroy_menu(item.popup);
        }
    }
    live_menus.erase(menu);
    menu->destroyed = true;
    if (menu->shown) {
        menu->shown->close();
    }
    if (menu->tracking == 0) {
        delete menu;
    }
}

BOOL WINAPI DestroyMenu(HMENU menu) {
    if (live_menus.count(menu) == 0) {
        return FALSE;
    }
    destroy_menu(menu);
    return TRUE;
}

static void fill_qmenu(QMenu* qmenu, HMENU menu) {
    for (const HMENU__::Item& item : menu->items) {
        if (item.separator) {
            qmenu->addSeparator();
        } else if (item.popup != nullptr) {
            QMenu* sub = qmenu->addMenu(ansi_to_qstring(item.text.c_str()));
            sub->setEnabled(!item.grayed);
            fill_qmenu(sub, item.popup);
        } else {
            QAction* action = qmenu->addAction(ansi_to_qstring(item.text.c_str()));
            action->setData(item.id);
            action->setEnabled(!item.grayed);
            action->setCheckable(item.checked);
            action->setChecked(item.checked);
        }
    }
}

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    if (live_menus.count(menu) == 0 || !IsWindow(owner)) {
        return FALSE;
    }
    QMenu qmenu(owner->widget);
    fill_qmenu(&qmenu, menu);
    menu->shown = &qmenu;
    ++menu->tracking;
    QAction* chosen;
    {
        ForeignLoop foreign([&qmenu] { qmenu.close(); });
        chosen = qmenu.exec(QPoint(x, y));
    }
    --menu->tracking;
    menu->shown = nullptr;
    if (menu->destroyed) {
        if (menu->tracking == 0) {
            delete menu;
        }
        return FALSE;
    }
    if (chosen == nullptr) {
        return FALSE;
    }
    UINT id = chosen->data().toUInt();
    if (flags & TPM_RETURNCMD) {
        return static_cast<BOOL>(id);
    }
    // As on Windows, the choice arrives after the menu has closed.
    PostMessageA(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return TRUE;
}
