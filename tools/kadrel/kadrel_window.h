#pragma once
// The converter's window: a list of recordings with a progress bar and a status per recording,
// added by the open dialog or by dropping files on the window; a choice of where the MP4 files
// go; Convert and Cancel. One recording is converted at a time on a worker thread, whose reports
// arrive here queued; only this thread touches the widgets.

#include <QMainWindow>
#include <QThread>
#include <atomic>
#include <optional>

#include "engine/convert/record_converter.h"
#include "tools/kadrel/kadrel_texts.h"

class ConversionWorker;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

class KadrelWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class RowState { kWaiting, kConverting, kConverted, kFailed, kCancelled };

    explicit KadrelWindow(const KadrelTexts& texts, QWidget* parent = nullptr);
    // Cancels a conversion in progress and ends the worker thread before the window goes.
    ~KadrelWindow() override;

    // Adds the files not listed yet; directories and paths already in the list (with the same
    // stretch) are skipped. With a stretch, just that stretch of each is converted; its row says
    // which.
    void AddRecordings(const QStringList& paths, const std::optional<ConvertStretch>& stretch = std::nullopt);
    // Where the MP4 files go: empty for next to each recording.
    void SetOutputFolder(const QString& folder);
    // Converts every listed recording that is not converted yet. False when nothing was started
    // (a conversion is running, nothing to do, or the chosen-folder option lacks a folder).
    bool StartConversion();
    void CancelConversion();
    bool IsConverting() const { return m_bConverting; }

    int RowCount() const;
    RowState StateOf(int row) const;
    int ProgressOf(int row) const;
    QString StatusTextOf(int row) const;
    QString NameTextOf(int row) const;
    QString SummaryText() const;

signals:
    // Every queued recording is done with (converted, failed or cancelled).
    void ConversionFinished();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildButtonRow();
    QWidget* BuildList();
    QWidget* BuildOutputChoice();
    QWidget* BuildActionRow();
    void StartWorker();
    void ConnectWorker();
    void ChooseFolder();
    void AddFromDialog();
    void RemoveSelected();
    void ClearList();
    void UpdateControls();
    void ShowListOrHint();

    QTreeWidgetItem* ItemOf(int id) const;
    QProgressBar* BarOf(QTreeWidgetItem* item) const;
    void SetRowState(QTreeWidgetItem* item, RowState state, const QString& status, const QString& detail = QString());

    void OnStarted(int id);
    void OnProgress(int id, int percent);
    void OnFinished(int id, int status, const QString& mp4, const QString& detail);
    void OnAllFinished();

    QString Text(KadrelText entry) const { return m_texts.Text(entry); }

    KadrelTexts m_texts;
    QStackedWidget* m_pListStack = nullptr;
    QTreeWidget* m_pList = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pClear = nullptr;
    QRadioButton* m_pBeside = nullptr;
    QRadioButton* m_pInFolder = nullptr;
    QLineEdit* m_pFolder = nullptr;
    QPushButton* m_pChoose = nullptr;
    QLabel* m_pSummary = nullptr;
    QPushButton* m_pConvert = nullptr;
    QPushButton* m_pCancel = nullptr;

    std::atomic<bool> m_bCancel{false};     // read by the worker; declared first, so it outlives the thread
    QThread m_thread;
    ConversionWorker* m_pWorker = nullptr;  // lives on m_thread; deleted when it ends
    bool m_bConverting = false;
    int m_nNextId = 1;
    int m_nQueued = 0;
    int m_nConverted = 0;
    int m_nFailed = 0;
};
