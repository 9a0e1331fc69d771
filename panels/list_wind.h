#pragma once
// The playlist column: a title band with its caption and the add-folder and delete buttons, and the
// list of the video files of one folder. It also runs the open-file dialog of the control bar's open
// button and remembers the folders from which the main panel builds the path to play and the folder
// for snapshots. User-interface thread only; the list's own lock guards its items.

#include <QString>
#include <QStringList>

#include "controls/m_button.h"
#include "controls/m_list_view.h"
#include "panels/path_rules.h"
#include "platform/geometry.h"
#include "platform/qt/dialog.h"

// The title band's caption font: pixel height and average character width.
struct CaptionFontSize {
    int height;
    int width;
};
// 13 by 7 for Russian (0x419), whose words are longer; 17 by 8 otherwise.
CaptionFontSize PlaylistCaptionFontSize(uint32_t languageId);

// The rectangles of the pane's children for a client area of width x height.
struct ListWindLayout {
    platform::Rect add, remove, files;
};
ListWindLayout ComputeListWindLayout(int width, int height);

// The open dialog's filter, in the "name|patterns|...||" form.
extern const char* const kOpenFileFilter;

class CListWind : public platform::CDialogEx {
public:
    CListWind();
    ~CListWind() override;

    // Runs the open-file dialog. TRUE with the chosen full path in path when it ends with OK and the
    // path ends with avi, AVI, mp4, MP4, mkv or MKV or is a recording; the chosen file then serves
    // for snapshots.
    platform::BOOL ChooseFile(QString& path);
    // The open dialog with several files chosen together: those it accepts, in order; FALSE when
    // it accepts none. The folder of the first one is where snapshots go.
    platform::BOOL ChooseFiles(QStringList& paths);
    // The scanned folder followed by the current entry's name; FALSE when either is empty.
    platform::BOOL GetCurrentPath(QString& path) const;
    // The folder of the last folder scan or of the last file chosen, whichever came last.
    platform::BOOL GetSnapshotFolder(QString& folder) const;

    platform::BOOL PreTranslateMessage(platform::Message& message) override;

    CMButton m_btnAdd;
    CMButton m_btnDelete;
    CMListView m_listFiles;
    platform::Rect m_rcAdd, m_rcDelete, m_rcFiles;
    QString m_strName;        // the entry to play: the list's selection or the chosen file's name
    QString m_strFolder;      // folder of the last scan, ending with '/'
    QString m_strFileFolder;  // folder of the last file chosen in the open dialog, ending with '/'
    int m_nPathSource = 0;    // snapshots go to 0: m_strFolder, 1: m_strFileFolder
    RecordingTest m_isRecording;  // set by the main panel: knows a recording of any name

protected:
    platform::BOOL OnInitDialog() override;
    void OnSize(platform::UINT type, int width, int height) override;
    void OnPaint(QPainter& dc) override;
    void OnCancel() override {}

private:
    void CreateButton(CMButton& button, const char* image, platform::UINT id, const platform::Rect& rect,
                      const QString& tip);
    void ScanFolder();
    void PlaySelected();
};
