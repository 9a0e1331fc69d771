#pragma once
// The skinned single-column list of the playlist: up to 1000 texts in rows of 35 pixels, the row
// under the pointer and the selected row highlighted, a scroll bar of its own (two arrow pictures,
// a track and a thumb picture) moved by pressing, dragging and the wheel, which scrolls the rows by
// pixels. A double click on the rows first repaints, which makes the row under the pointer the
// selection, then posts WM_COMMAND (m_nID, 0) to the parent, which reads it with GetSelectedText.
//
// Threads: AddItem, GetCount and GetItemText may be called from any thread; they take m_csItems,
// one access at a time, and never touch the widget. Everything else, RemoveAll and GetSelectedText
// included (the selection belongs to the mouse handlers and the paint), runs on the user-interface
// thread.

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/geometry.h"
#include "platform/qt/dialog.h"
#include "platform/sync.h"

constexpr platform::UINT IDD_MLISTVIEW = 132;

class CMListView : public platform::CDialogEx {
public:
    static constexpr int kRowHeight = 35;
    static constexpr int kMaxItems = 1000;
    static constexpr int kMaxTextLength = 199;  // characters
    static constexpr int kMinThumbLength = 20;

    // The areas a resize lays out, in client coordinates.
    struct Areas {
        platform::Rect up, down, track, rows;
        int trackLength = 0;
        friend bool operator==(const Areas&, const Areas&) = default;
    };

    // Where the rows and the thumb stand for one paint.
    struct ScrollLayout {
        int thumbLength = 0;
        bool scrolls = false;
        int visibleRows = 0;   // V: rows that fit the client height, at most the item count
        int64_t offset = 0;    // D: pixels of content scrolled above the top
        int firstItem = 0;     // the item drawn in the top row
        int firstRowHeight = kRowHeight;  // h: how much of the top row shows
        friend bool operator==(const ScrollLayout&, const ScrollLayout&) = default;
    };

    explicit CMListView(platform::CWnd* parent = nullptr);
    ~CMListView() override;

    // Any thread. Refuses a text of 200 characters or more and a 1001st item. Does not redraw.
    bool AddItem(const QString& text);
    // Empties the list and repaints it at once; the selection and the thumb stay where they were.
    platform::BOOL RemoveAll();
    int GetCount() const;
    // False for an index outside the list; else the text, and whether it is non-empty.
    bool GetItemText(int index, QString& text) const;
    // The text of item m_nSel, and whether it is non-empty; false and empty when there is none.
    bool GetSelectedText(QString& text) const;

    static Areas LayoutAreas(int width, int height);
    static int ThumbLength(int itemCount, int trackLength);
    static ScrollLayout ComputeScroll(int itemCount, int trackLength, int thumbPos, int clientHeight);
    // The row (0 = the top drawn row) under client y when the top row shows firstRowHeight pixels;
    // -1 above the first.
    static int RowAt(int y, int firstRowHeight);
    // thumbPos kept within the thumb's travel, 0 when there is none.
    static int LimitThumbPos(int thumbPos, int trackLength, int thumbLength);

    std::unique_ptr<QImage> m_pUpImage;
    std::unique_ptr<QImage> m_pDownImage;
    std::unique_ptr<QImage> m_pKnobImage;
    int m_nSel = 0;
    int m_nThumbLen = 0;
    int m_nMouseY = 0;
    platform::Rect m_rcUp, m_rcDown, m_rcTrack, m_rcRows;
    std::vector<QString> m_arItems;  // guarded by m_csItems
    mutable platform::CriticalSection m_csItems;
    platform::CriticalSection m_csLayout;  // held while a paint computes the scroll layout
    int m_nID = 0;
    int m_nTrackLen = 0;
    int m_bTracking = 0;
    int m_bHover = 0;
    int m_bPressed = 0;
    int m_bSelShown = 0;
    int m_nLastY = 0;
    int m_nThumbPos = 0;
    int m_nWheelRemainder = 0;  // wheel delta not yet turned into a whole notch
    int m_bThumbDrag = 0;

protected:
    platform::BOOL OnInitDialog() override;
    void OnCancel() override {}
    void OnSize(platform::UINT type, int width, int height) override;
    platform::BOOL OnEraseBkgnd(QPainter& dc) override;
    void OnPaint(QPainter& dc) override;
    void OnLButtonDown(platform::UINT flags, platform::Point point) override;
    void OnLButtonUp(platform::UINT flags, platform::Point point) override;
    void OnLButtonDblClk(platform::UINT flags, platform::Point point) override;
    void OnMouseMove(platform::UINT flags, platform::Point point) override;
    platform::BOOL OnMouseWheel(platform::UINT flags, short zDelta, platform::Point screenPoint) override;
    void OnMouseHover(platform::UINT flags, platform::Point point) override;
    void OnMouseLeave() override;

private:
    enum class RowLook { kNormal, kHover, kSelected };

    ScrollLayout TakeScrollLayout(int itemCount, int clientHeight);
    void DrawScrollBar(QPainter& painter, int width) const;
    void DrawRows(QPainter& painter, const ScrollLayout& layout, int itemCount, int width, int height);
    static void DrawRow(QPainter& painter, const QRect& row, const QString& text, RowLook look);
    void SelectPressedRow(const ScrollLayout& layout, int itemCount);
    bool ItemAt(int index, QString& text) const;
    void MoveThumbTo(int thumbPos);
    void RedrawNow();
};
