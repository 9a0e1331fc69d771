#pragma once
// The command ids the panes post to the main panel as WM_COMMAND (wParam = id, lParam = 0).
// The control bar's ids 1 to 11 and the playlist pane's 19 are relayed by their pane; the
// status bar's and the video pane's reach the main panel through the pre-translation walk.
// The end-of-file notification (65) comes from the playback session and is defined there.

#include "platform/qt/win_defs.h"

// Control bar.
constexpr platform::UINT ID_TOGGLE_PLAYLIST = 1;
constexpr platform::UINT ID_OPEN_FILE = 2;
constexpr platform::UINT ID_STOP = 3;
constexpr platform::UINT ID_SLOWER = 4;
constexpr platform::UINT ID_PLAY_PAUSE = 5;
constexpr platform::UINT ID_FASTER = 6;
constexpr platform::UINT ID_FRAME_STEP = 7;
constexpr platform::UINT ID_MUTE = 8;
constexpr platform::UINT ID_VOLUME = 9;
constexpr platform::UINT ID_SEEK = 10;
constexpr platform::UINT ID_CONVERT = 11;
constexpr platform::UINT kFirstControlBarCommand = ID_TOGGLE_PLAYLIST;
constexpr platform::UINT kLastControlBarCommand = ID_CONVERT;

// Playlist pane.
constexpr platform::UINT ID_PLAYLIST_ADD_FOLDER = 17;
constexpr platform::UINT ID_PLAYLIST_DELETE = 18;
constexpr platform::UINT ID_PLAYLIST_PLAY = 19;

// Status bar.
constexpr platform::UINT ID_TOGGLE_FULL_SCREEN = 33;
constexpr platform::UINT ID_SNAPSHOT = 34;
// A key only: a snapshot of every tile of the camera grid.
constexpr platform::UINT ID_SNAPSHOT_TILES = 35;

// Video pane.
constexpr platform::UINT ID_PLAY_DROPPED_FILE = 49;

// Dialog templates of the panes and controls.
constexpr platform::UINT IDD_PLAY_WIND = 129;
constexpr platform::UINT IDD_LIST_WIND = 130;
constexpr platform::UINT IDD_CTRL_WIND = 131;
constexpr platform::UINT IDD_STATUS_BAR = 138;
