#pragma once
// The band across the top of the main panel: the path of the playing file, after a speed mark while
// playback runs at another speed than normal, and the snapshot and full-screen buttons at its right
// end. It shows what the main panel tells it; its buttons post their ids, which the main panel
// catches on their way up. User-interface thread only.

#include <QString>
#include <QTimer>
#include <optional>

#include "controls/m_button.h"
#include "platform/geometry.h"
#include "platform/qt/dialog.h"
#include "platform/qt/static.h"

// The text control of the bar's template, which shortens a long path in its middle.
constexpr int IDC_STATUS_TEXT = 1002;

// The text shown for a speed code and the file text: the file text alone at normal speed (0), after
// "X0.25", "X0.5", "X2" or "X4" and their blanks for codes 1 to 4; nothing for any other code.
std::optional<QString> StatusBarText(int speed, const QString& fileText);

// The rectangles of the bar's children for a client area of width x height; nothing at 560 pixels
// wide or less, where the children keep their places.
struct StatusBarLayout {
    platform::Rect fullScreen, snapshot, text;
};
std::optional<StatusBarLayout> ComputeStatusBarLayout(int width, int height);

class CMStatusBar : public platform::CDialogEx {
public:
    CMStatusBar();
    ~CMStatusBar() override;

    // Shows text without a speed mark until the next SetSpeedLabel.
    void SetFileName(const QString& text);
    // Shows the file text after the mark of speed; a code outside 0..4 is kept but shows nothing new.
    void SetSpeedLabel(int speed);
    // Shows text in place of the file text for a few seconds, then the file text with its speed
    // mark again; a new file text or speed ends the notice at once.
    void ShowNotice(const QString& text);

    void OnCtlColor(platform::CWnd* control, platform::CtlColors& colors) override;

    CMButton m_btnSnapshot;
    CMButton m_btnFullScreen;
    platform::Rect m_rcSnapshot, m_rcFullScreen, m_rcText;
    int m_nSpeed = 0;
    QString m_strText;
    platform::CStatic m_wndText;
    QTimer m_noticeTimer;

protected:
    void DoDataExchange() override;
    platform::BOOL OnInitDialog() override;
    void OnSize(platform::UINT type, int width, int height) override;
    void OnPaint(QPainter& dc) override;
    void OnCancel() override {}

private:
    void ShowFileText();
    void CreateButton(CMButton& button, const char* image, const platform::Rect& rect, platform::UINT id,
                      const QString& tip);
};
