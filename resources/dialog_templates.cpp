// The dialog templates of the application, in dialog units of "MS Shell Dlg" 8.

#include <algorithm>
#include <array>

#include "platform/qt/dialog_template.h"

namespace platform {
namespace {

constexpr UINT kChildPane = WS_CHILD | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS;
constexpr UINT kTopLevel = WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS;

DialogTemplate Child(UINT id, int width, int height) { return DialogTemplate{id, kChildPane, 0, width, height, {}}; }

std::vector<DialogTemplate> BuildTemplates() {
    std::vector<DialogTemplate> templates;

    DialogTemplate about{100, kTopLevel, 0, 180, 90, {}};
    about.controls.push_back(ControlTemplate{ControlKind::Static, -1, QStringLiteral("Telvane, Version 1.0"),
                                             WS_VISIBLE | SS_LEFTNOWORDWRAP, QRect(16, 34, 150, 10)});
    about.controls.push_back(ControlTemplate{ControlKind::Button, IDOK, QStringLiteral("OK"),
                                             WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON,
                                             QRect(118, 64, 50, 16)});
    templates.push_back(about);

    // Main window, 960 x 650 pixels: inside its 3-pixel border the main panel lays out its 656-pixel
    // control bar beside the 245-pixel playlist with room to spare.
    templates.push_back(DialogTemplate{102, WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS,
                                       WS_EX_APPWINDOW, 640, 400, {}});
    templates.push_back(Child(129, 320, 200));  // video pane
    templates.push_back(Child(130, 163, 200));  // playlist pane
    templates.push_back(Child(131, 281, 78));   // control bar
    templates.push_back(Child(132, 150, 150));  // list view
    templates.push_back(Child(133, 20, 20));    // image button
    templates.push_back(Child(134, 600, 340));  // main panel
    templates.push_back(Child(137, 100, 10));   // slider
    DialogTemplate statusBar = Child(138, 309, 36);
    statusBar.controls.push_back(ControlTemplate{
        ControlKind::Static, 1002, QString(),
        WS_VISIBLE | WS_GROUP | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_PATHELLIPSIS, QRect(13, 8, 191, 8)});
    templates.push_back(statusBar);
    templates.push_back(Child(140, 60, 10));  // text label
    return templates;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(UINT id) {
    static const std::vector<DialogTemplate> templates = BuildTemplates();
    auto found = std::find_if(templates.begin(), templates.end(), [id](const DialogTemplate& t) { return t.id == id; });
    return found == templates.end() ? nullptr : &*found;
}

}  // namespace platform
