#pragma once
// The skinned horizontal slider: a track, the filled part from the left end up to the value and,
// while the pointer is over it, a thumb. A press or a drag moves the value to the pointer and shows
// it in a tooltip; the release after such a change posts WM_COMMAND (m_nID, 0) to the parent, which
// reads the new value with GetPos. The slider does not capture the pointer: leaving ends a drag, and
// a release outside posts nothing.
//
// Threads: SetPos and GetPos may be called from any thread (the main panel's position thread sets
// the playing position twice a second, also during a drag); the owner may write m_nMax from any
// thread. Everything else runs on the user-interface thread. m_csPos guards m_nPos and is held only
// to copy it in or out: never while painting, posting or touching the widget.

#include <QImage>
#include <QSize>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/geometry.h"
#include "platform/qt/dialog.h"
#include "platform/qt/tooltip.h"
#include "platform/sync.h"

constexpr platform::UINT IDD_MPROGRESS = 137;

class CMProgress : public platform::CDialogEx {
public:
    // How the tooltip shows the value.
    static constexpr int kTipNumber = 0;
    static constexpr int kTipMinutesSeconds = 1;  // a value in milliseconds
    static constexpr int kTipPercent = 2;         // of m_nMax

    // A destination rectangle in the window and the part of a picture stretched onto it.
    struct Piece {
        platform::Rect dest;
        platform::Rect source;
        friend bool operator==(const Piece&, const Piece&) = default;
    };

    explicit CMProgress(platform::CWnd* parent = nullptr);
    ~CMProgress() override;

    // Any thread. Refuses (FALSE, nothing changed) a value above m_nMax and any value while m_nMax
    // is 0; otherwise stores it under m_csPos and posts a redraw of the slider.
    platform::BOOL SetPos(uint32_t pos);
    // Any thread: m_nPos read under m_csPos.
    uint32_t GetPos() const;

    // The value under client x on a slider width pixels wide with margin m.
    static uint32_t ValueAtX(int x, int width, int margin, uint32_t max);
    // Length of the filled part from the track's start, 0 when there is no range. While hovered it
    // stops at the track's end, so the thumb never leaves the track; otherwise it reaches 2 pixels
    // beyond it at the largest value.
    static int FillLength(int width, int margin, uint32_t pos, uint32_t max, bool hovered);
    // Left cap, middle and right cap of the track, cut from a picture of the given size.
    static std::array<Piece, 3> TrackPieces(int width, int height, int margin, QSize picture);
    // The pieces of a fill fillLength long (none when it is 0 or less): two halves up to 60 pixels,
    // else left cap, middle and right cap, drawn in that order.
    static std::vector<Piece> FillPieces(int fillLength, int height, int margin, QSize picture);
    static platform::Rect ThumbRect(int fillLength, int width, int height, int margin);
    static QString ValueText(int tipMode, uint32_t pos, uint32_t max);

    std::unique_ptr<QImage> m_pTrackImage;
    std::unique_ptr<QImage> m_pFillImage;
    std::unique_ptr<QImage> m_pThumbImage;
    std::atomic<uint32_t> m_nMax{0};
    uint32_t m_nPos = 0;  // guarded by m_csPos
    int m_nMargin = 6;
    int m_nID = 0;
    int m_bTracking = 0;
    int m_bHover = 0;
    int m_nTipMode = kTipNumber;
    platform::CToolTipCtrl m_ToolTip;
    int m_bDragging = 0;
    int m_bChanged = 0;
    mutable platform::CriticalSection m_csPos;

protected:
    platform::BOOL OnInitDialog() override;
    platform::BOOL OnEraseBkgnd(QPainter& dc) override;
    void OnPaint(QPainter& dc) override;
    void OnMouseMove(platform::UINT flags, platform::Point point) override;
    void OnLButtonDown(platform::UINT flags, platform::Point point) override;
    void OnLButtonUp(platform::UINT flags, platform::Point point) override;
    void OnMouseHover(platform::UINT flags, platform::Point point) override;
    void OnMouseLeave() override;

private:
    // Stores the value under the pointer, repaints at once and shows the value in the tooltip.
    void MoveValueToPointer(int x);
    void ShowValueTip();
    void DrawPieces(QPainter& painter, const QImage& picture, const std::vector<Piece>& pieces) const;
};
