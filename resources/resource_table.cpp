// Strings, menus and icons of the application.

#include "platform/qt/resource_table.h"

namespace platform {

QString LoadResourceString(UINT id) {
    switch (id) {
    case 101: return QStringLiteral("&About Orvex...");
    case 103: return QStringLiteral("Windows sockets initialization failed.");
    default: return QString();
    }
}

const MenuTemplate* FindMenuTemplate(UINT id) {
    static const MenuTemplate captionMenu{142, QStringLiteral("SYSMENU"), {{QStringLiteral("A"), 32772}}};
    return id == captionMenu.id ? &captionMenu : nullptr;
}

QString IconResourcePath(UINT id) { return id == 128 ? QStringLiteral("pictures/Orvex.ico") : QString(); }

}  // namespace platform
