#include "tools/kadrel/kadrel_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/convert/record_converter.h"
#include "tools/kadrel/conversion_worker.h"

namespace {

enum Column { kColumnName = 0, kColumnProgress = 1, kColumnStatus = 2 };
enum ItemRole { kRoleId = Qt::UserRole, kRolePath, kRoleState, kRoleFromMs, kRoleToMs };

// "1:02:03.450", as the player's go-to dialog takes an offset.
QString OffsetText(int64_t ms) {
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3'600'000)
        .arg(ms / 60'000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

std::optional<ConvertStretch> StretchOf(const QTreeWidgetItem* item) {
    const QVariant from = item->data(0, kRoleFromMs);
    if (!from.isValid()) return std::nullopt;
    return ConvertStretch{from.toLongLong(), item->data(0, kRoleToMs).toLongLong()};
}

bool SameStretch(const std::optional<ConvertStretch>& a, const std::optional<ConvertStretch>& b) {
    if (!a || !b) return !a && !b;
    return a->fromMs == b->fromMs && a->toMs == b->toMs;
}

KadrelText StatusEntry(ConvertStatus status) {
    switch (status) {
        case ConvertStatus::kOk: return KadrelText::kSavedAs;
        case ConvertStatus::kCancelled: return KadrelText::kCancelled;
        case ConvertStatus::kNotRecording: return KadrelText::kNotRecording;
        case ConvertStatus::kCannotRead: return KadrelText::kCannotRead;
        case ConvertStatus::kNoPictures: return KadrelText::kNoPictures;
        case ConvertStatus::kBadSound: return KadrelText::kBadSound;
        case ConvertStatus::kCannotWrite: return KadrelText::kCannotWrite;
        case ConvertStatus::kFailed: return KadrelText::kFailed;
    }
    return KadrelText::kFailed;
}

QStringList LocalFiles(const QMimeData* mime) {
    QStringList files;
    if (!mime || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) files << url.toLocalFile();
    }
    return files;
}

}  // namespace

KadrelWindow::KadrelWindow(const KadrelTexts& texts, QWidget* parent) : QMainWindow(parent), m_texts(texts) {
    setWindowTitle(Text(KadrelText::kTitle));
    setAcceptDrops(true);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(BuildButtonRow());
    layout->addWidget(BuildList(), 1);
    layout->addWidget(BuildOutputChoice());
    layout->addWidget(BuildActionRow());
    setCentralWidget(central);
    resize(780, 460);
    StartWorker();
    ShowListOrHint();
    UpdateControls();
}

KadrelWindow::~KadrelWindow() {
    m_bCancel = true;
    m_thread.quit();
    m_thread.wait();
}

QWidget* KadrelWindow::BuildButtonRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pAdd = new QPushButton(Text(KadrelText::kAdd), row);
    m_pRemove = new QPushButton(Text(KadrelText::kRemove), row);
    m_pClear = new QPushButton(Text(KadrelText::kClear), row);
    layout->addWidget(m_pAdd);
    layout->addWidget(m_pRemove);
    layout->addWidget(m_pClear);
    layout->addStretch(1);
    connect(m_pAdd, &QPushButton::clicked, this, &KadrelWindow::AddFromDialog);
    connect(m_pRemove, &QPushButton::clicked, this, &KadrelWindow::RemoveSelected);
    connect(m_pClear, &QPushButton::clicked, this, &KadrelWindow::ClearList);
    return row;
}

QWidget* KadrelWindow::BuildList() {
    m_pListStack = new QStackedWidget(this);
    auto* hint = new QLabel(Text(KadrelText::kDropHint), m_pListStack);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    hint->setFrameShape(QFrame::StyledPanel);
    m_pList = new QTreeWidget(m_pListStack);
    m_pList->setColumnCount(3);
    m_pList->setHeaderLabels({Text(KadrelText::kColumnRecording), Text(KadrelText::kColumnProgress),
                              Text(KadrelText::kColumnStatus)});
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setAcceptDrops(false);
    m_pList->viewport()->setAcceptDrops(false);
    m_pList->header()->setStretchLastSection(true);
    m_pList->setColumnWidth(kColumnName, 260);
    m_pList->setColumnWidth(kColumnProgress, 150);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &KadrelWindow::UpdateControls);
    m_pListStack->addWidget(hint);
    m_pListStack->addWidget(m_pList);
    return m_pListStack;
}

QWidget* KadrelWindow::BuildOutputChoice() {
    auto* box = new QGroupBox(Text(KadrelText::kSaveTo), this);
    auto* layout = new QHBoxLayout(box);
    m_pBeside = new QRadioButton(Text(KadrelText::kBesideRecording), box);
    m_pInFolder = new QRadioButton(Text(KadrelText::kInFolder), box);
    m_pFolder = new QLineEdit(box);
    m_pFolder->setReadOnly(true);
    m_pChoose = new QPushButton(Text(KadrelText::kChooseFolder), box);
    m_pBeside->setChecked(true);
    layout->addWidget(m_pBeside);
    layout->addSpacing(12);
    layout->addWidget(m_pInFolder);
    layout->addWidget(m_pFolder, 1);
    layout->addWidget(m_pChoose);
    connect(m_pChoose, &QPushButton::clicked, this, &KadrelWindow::ChooseFolder);
    connect(m_pInFolder, &QRadioButton::toggled, this, &KadrelWindow::UpdateControls);
    return box;
}

QWidget* KadrelWindow::BuildActionRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pSummary = new QLabel(row);
    m_pConvert = new QPushButton(Text(KadrelText::kConvert), row);
    m_pCancel = new QPushButton(Text(KadrelText::kCancel), row);
    m_pConvert->setDefault(true);
    layout->addWidget(m_pSummary, 1);
    layout->addWidget(m_pConvert);
    layout->addWidget(m_pCancel);
    connect(m_pConvert, &QPushButton::clicked, this, [this] { StartConversion(); });
    connect(m_pCancel, &QPushButton::clicked, this, &KadrelWindow::CancelConversion);
    return row;
}

void KadrelWindow::StartWorker() {
    m_pWorker = new ConversionWorker(&m_bCancel);
    m_pWorker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_pWorker, &QObject::deleteLater);
    ConnectWorker();
    m_thread.start();
}

void KadrelWindow::ConnectWorker() {
    connect(m_pWorker, &ConversionWorker::Started, this, &KadrelWindow::OnStarted, Qt::QueuedConnection);
    connect(m_pWorker, &ConversionWorker::Progress, this, &KadrelWindow::OnProgress, Qt::QueuedConnection);
    connect(m_pWorker, &ConversionWorker::Finished, this, &KadrelWindow::OnFinished, Qt::QueuedConnection);
    connect(m_pWorker, &ConversionWorker::AllFinished, this, &KadrelWindow::OnAllFinished, Qt::QueuedConnection);
}

void KadrelWindow::AddRecordings(const QStringList& paths, const std::optional<ConvertStretch>& stretch) {
    auto listed = [this, &stretch](const QString& path) {
        for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = m_pList->topLevelItem(i);
            if (item->data(0, kRolePath).toString() == path && SameStretch(StretchOf(item), stretch)) return true;
        }
        return false;
    };
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString absolute = info.absoluteFilePath();
        if (info.isDir() || listed(absolute)) continue;
        auto* item = new QTreeWidgetItem(m_pList);
        QString name = info.fileName();
        if (stretch) {
            name += QStringLiteral("  ") + OffsetText(stretch->fromMs) + QStringLiteral(" - ") + OffsetText(stretch->toMs);
            item->setData(0, kRoleFromMs, qlonglong(stretch->fromMs));
            item->setData(0, kRoleToMs, qlonglong(stretch->toMs));
        }
        item->setText(kColumnName, name);
        item->setToolTip(kColumnName, QDir::toNativeSeparators(absolute));
        item->setData(0, kRoleId, m_nNextId++);
        item->setData(0, kRolePath, absolute);
        auto* bar = new QProgressBar(m_pList);
        bar->setRange(0, 100);
        bar->setValue(0);
        m_pList->setItemWidget(item, kColumnProgress, bar);
        SetRowState(item, RowState::kWaiting, Text(KadrelText::kWaiting));
    }
    ShowListOrHint();
    UpdateControls();
}

void KadrelWindow::SetOutputFolder(const QString& folder) {
    m_pFolder->setText(QDir::toNativeSeparators(folder));
    (folder.isEmpty() ? m_pBeside : m_pInFolder)->setChecked(true);
    UpdateControls();
}

void KadrelWindow::AddFromDialog() {
    const QStringList files = QFileDialog::getOpenFileNames(this, Text(KadrelText::kAddDialogTitle), QString(),
                                                            Text(KadrelText::kAllFiles) + QStringLiteral(" (*)"));
    AddRecordings(files);
}

void KadrelWindow::ChooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, Text(KadrelText::kFolderDialogTitle), m_pFolder->text());
    if (!folder.isEmpty()) SetOutputFolder(folder);
}

void KadrelWindow::RemoveSelected() {
    if (m_bConverting) return;
    qDeleteAll(m_pList->selectedItems());
    ShowListOrHint();
    UpdateControls();
}

void KadrelWindow::ClearList() {
    if (m_bConverting) return;
    m_pList->clear();
    m_pSummary->clear();
    ShowListOrHint();
    UpdateControls();
}

bool KadrelWindow::StartConversion() {
    if (m_bConverting) return false;
    if (m_pInFolder->isChecked() && m_pFolder->text().isEmpty()) ChooseFolder();
    if (m_pInFolder->isChecked() && m_pFolder->text().isEmpty()) {
        m_pSummary->setText(Text(KadrelText::kNoFolderChosen));
        return false;
    }
    QList<ConversionJob> jobs;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_pList->topLevelItem(i);
        if (RowState(item->data(0, kRoleState).toInt()) == RowState::kConverted) continue;
        SetRowState(item, RowState::kWaiting, Text(KadrelText::kWaiting));
        BarOf(item)->setValue(0);
        jobs << ConversionJob{item->data(0, kRoleId).toInt(), item->data(0, kRolePath).toString(), StretchOf(item)};
    }
    if (jobs.isEmpty()) return false;
    const QString folder = m_pInFolder->isChecked() ? QDir::fromNativeSeparators(m_pFolder->text()) : QString();
    m_bCancel = false;
    m_bConverting = true;
    m_nQueued = int(jobs.size());
    m_nConverted = m_nFailed = 0;
    m_pSummary->clear();
    UpdateControls();
    ConversionWorker* worker = m_pWorker;
    QMetaObject::invokeMethod(worker, [worker, jobs, folder] { worker->Run(jobs, folder); }, Qt::QueuedConnection);
    return true;
}

void KadrelWindow::CancelConversion() {
    if (!m_bConverting) return;
    m_bCancel = true;
    m_pSummary->setText(Text(KadrelText::kCancelling));
    m_pCancel->setEnabled(false);
}

void KadrelWindow::OnStarted(int id) {
    if (QTreeWidgetItem* item = ItemOf(id)) SetRowState(item, RowState::kConverting, Text(KadrelText::kConverting));
}

void KadrelWindow::OnProgress(int id, int percent) {
    if (QTreeWidgetItem* item = ItemOf(id)) BarOf(item)->setValue(percent);
}

void KadrelWindow::OnFinished(int id, int status, const QString& mp4, const QString& detail) {
    QTreeWidgetItem* item = ItemOf(id);
    if (!item) return;
    const ConvertStatus result = ConvertStatus(status);
    if (result == ConvertStatus::kOk) {
        ++m_nConverted;
        BarOf(item)->setValue(100);
        SetRowState(item, RowState::kConverted, Text(KadrelText::kSavedAs).arg(QDir::toNativeSeparators(mp4)));
        return;
    }
    const bool cancelled = result == ConvertStatus::kCancelled;
    if (!cancelled) ++m_nFailed;
    BarOf(item)->setValue(0);
    SetRowState(item, cancelled ? RowState::kCancelled : RowState::kFailed, Text(StatusEntry(result)), detail);
}

void KadrelWindow::OnAllFinished() {
    m_bConverting = false;
    QString summary = Text(KadrelText::kSummary).arg(m_nConverted).arg(m_nQueued);
    if (m_nFailed > 0) summary += QStringLiteral(" - ") + Text(KadrelText::kFailedCount).arg(m_nFailed);
    m_pSummary->setText(summary);
    // Recordings the cancel kept from starting go back to waiting.
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_pList->topLevelItem(i);
        if (RowState(item->data(0, kRoleState).toInt()) == RowState::kWaiting) SetRowState(item, RowState::kWaiting, Text(KadrelText::kWaiting));
    }
    UpdateControls();
    emit ConversionFinished();
}

QTreeWidgetItem* KadrelWindow::ItemOf(int id) const {
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        if (m_pList->topLevelItem(i)->data(0, kRoleId).toInt() == id) return m_pList->topLevelItem(i);
    }
    return nullptr;
}

QProgressBar* KadrelWindow::BarOf(QTreeWidgetItem* item) const {
    return static_cast<QProgressBar*>(m_pList->itemWidget(item, kColumnProgress));
}

void KadrelWindow::SetRowState(QTreeWidgetItem* item, RowState state, const QString& status, const QString& detail) {
    item->setData(0, kRoleState, int(state));
    item->setText(kColumnStatus, status);
    item->setToolTip(kColumnStatus, detail.isEmpty() ? status : status + QStringLiteral("\n") + detail);
    const bool failed = state == RowState::kFailed;
    item->setForeground(kColumnStatus, failed ? QBrush(Qt::darkRed) : QBrush());
}

void KadrelWindow::ShowListOrHint() { m_pListStack->setCurrentIndex(m_pList->topLevelItemCount() > 0 ? 1 : 0); }

void KadrelWindow::UpdateControls() {
    const bool idle = !m_bConverting;
    const bool any = m_pList->topLevelItemCount() > 0;
    m_pAdd->setEnabled(idle);
    m_pRemove->setEnabled(idle && !m_pList->selectedItems().isEmpty());
    m_pClear->setEnabled(idle && any);
    m_pBeside->setEnabled(idle);
    m_pInFolder->setEnabled(idle);
    m_pFolder->setEnabled(idle && m_pInFolder->isChecked());
    m_pChoose->setEnabled(idle);
    m_pConvert->setEnabled(idle && any);
    m_pCancel->setEnabled(m_bConverting && !m_bCancel);
}

int KadrelWindow::RowCount() const { return m_pList->topLevelItemCount(); }

KadrelWindow::RowState KadrelWindow::StateOf(int row) const {
    return RowState(m_pList->topLevelItem(row)->data(0, kRoleState).toInt());
}

int KadrelWindow::ProgressOf(int row) const { return BarOf(m_pList->topLevelItem(row))->value(); }

QString KadrelWindow::StatusTextOf(int row) const { return m_pList->topLevelItem(row)->text(kColumnStatus); }

QString KadrelWindow::NameTextOf(int row) const { return m_pList->topLevelItem(row)->text(kColumnName); }

QString KadrelWindow::SummaryText() const { return m_pSummary->text(); }

void KadrelWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_bConverting && !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void KadrelWindow::dropEvent(QDropEvent* event) {
    if (m_bConverting) return;
    AddRecordings(LocalFiles(event->mimeData()));
    event->acceptProposedAction();
}

void KadrelWindow::closeEvent(QCloseEvent* event) {
    // The worker stops at its next frame; the destructor waits for it.
    m_bCancel = true;
    event->accept();
}
