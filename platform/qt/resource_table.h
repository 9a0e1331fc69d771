#pragma once
// The executable's other resources: strings, menus and icons by id. The tables live in resources/.

#include <QString>
#include <vector>

#include "platform/qt/win_defs.h"

namespace platform {

struct MenuItemTemplate {
    QString text;
    UINT id = 0;
};

struct MenuTemplate {
    UINT id = 0;
    QString popupName;  // the single popup of the menu bar
    std::vector<MenuItemTemplate> items;
};

// Empty when there is no string with that id.
QString LoadResourceString(UINT id);
// Null when there is no menu with that id.
const MenuTemplate* FindMenuTemplate(UINT id);
// The icon file (relative to the current directory) of an icon resource; empty when unknown.
QString IconResourcePath(UINT id);

}  // namespace platform
