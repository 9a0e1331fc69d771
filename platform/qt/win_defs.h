#pragma once
// The numeric vocabulary the windows speak: message ids, show commands, redraw flags, system
// commands, styles and key codes, with the values the rest of the code and its tests expect.

#include <cstdint>

#include "platform/messages.h"

namespace platform {

using BOOL = int;
using UINT = uint32_t;
using LResult = intptr_t;
#ifndef TRUE
constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
constexpr BOOL FALSE = 0;
#endif

// Messages.
constexpr MessageId WM_COMMAND = kWmCommand;
constexpr MessageId WM_USER = kWmUser;
constexpr MessageId WM_KEYDOWN = 0x0100;
constexpr MessageId WM_SYSCOMMAND = 0x0112;
constexpr MessageId WM_CLOSE = 0x0010;

// Command ids of dialog buttons and the click notification.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr UINT BN_CLICKED = 0;

// System commands.
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_MAXIMIZE = 0xF030;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_KEYMENU = 0xF100;  // the system menu asked for from the keyboard (Alt+Space)
constexpr UINT SC_RESTORE = 0xF120;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

// OnSize types.
constexpr UINT SIZE_RESTORED = 0;
constexpr UINT SIZE_MINIMIZED = 1;
constexpr UINT SIZE_MAXIMIZED = 2;

// RedrawWindow flags.
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;

// TrackMouseEvent flags.
constexpr UINT TME_HOVER = 0x0001;
constexpr UINT TME_LEAVE = 0x0002;
constexpr UINT TME_CANCEL = 0x80000000;

// Mouse key flags of the mouse hooks.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_RBUTTON = 0x0002;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;
constexpr UINT MK_MBUTTON = 0x0010;

// Virtual key codes the dialogs react to.
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;

// Window styles.
constexpr UINT WS_POPUP = 0x80000000u;
constexpr UINT WS_CHILD = 0x40000000u;
constexpr UINT WS_MINIMIZE = 0x20000000u;
constexpr UINT WS_VISIBLE = 0x10000000u;
constexpr UINT WS_DISABLED = 0x08000000u;
constexpr UINT WS_CAPTION = 0x00C00000u;
constexpr UINT WS_BORDER = 0x00800000u;
constexpr UINT WS_SYSMENU = 0x00080000u;
constexpr UINT WS_THICKFRAME = 0x00040000u;
constexpr UINT WS_GROUP = 0x00020000u;
constexpr UINT WS_TABSTOP = 0x00010000u;
constexpr UINT WS_EX_APPWINDOW = 0x00040000u;
constexpr UINT WS_EX_TOPMOST = 0x00000008u;

// Dialog styles.
constexpr UINT DS_SETFONT = 0x40;
constexpr UINT DS_FIXEDSYS = 0x0008;

// Button styles.
constexpr UINT BS_PUSHBUTTON = 0x0;
constexpr UINT BS_DEFPUSHBUTTON = 0x1;
constexpr UINT BS_OWNERDRAW = 0xB;
constexpr UINT BS_TYPEMASK = 0xF;

// Static styles.
constexpr UINT SS_LEFT = 0x0;
constexpr UINT SS_CENTER = 0x1;
constexpr UINT SS_RIGHT = 0x2;
constexpr UINT SS_LEFTNOWORDWRAP = 0xC;
constexpr UINT SS_TYPEMASK = 0x1F;
constexpr UINT SS_CENTERIMAGE = 0x200;
constexpr UINT SS_PATHELLIPSIS = 0x8000;

// Owner-draw item states.
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_FOCUS = 0x0010;

constexpr UINT LoWord(uintptr_t value) { return static_cast<UINT>(value & 0xFFFF); }
constexpr UINT HiWord(uintptr_t value) { return static_cast<UINT>((value >> 16) & 0xFFFF); }
constexpr WParam MakeWParam(UINT low, UINT high) {
    return static_cast<WParam>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}

}  // namespace platform
