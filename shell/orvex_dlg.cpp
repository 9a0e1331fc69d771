#include "shell/orvex_dlg.h"

#include <QTimer>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>
#include <optional>

#include "platform/qt/message_box.h"
#include "platform/qt/resource_table.h"
#include "shell/about_dlg.h"
#include "shell/clock_zone_setting.h"
#include "shell/key_shortcuts.h"
#include "shell/key_texts.h"
#include "language/language_store.h"
#include "shell/toolkit_translation.h"

using namespace platform;

namespace {

constexpr UINT kCaptionMenuPlaceholder = 32772;
constexpr int kCaptionZoneLeft = 10;
constexpr int kCaptionZoneTop = 4;
constexpr int kCaptionZoneRightMargin = 77;
// The rectangle comes from the environment: anything beyond these is no window of ours.
constexpr int kLargestRestartSize = 16384;
constexpr int kFarthestRestartOrigin = 1 << 20;

const char* const kFatalLanguageMessage =
    "Cannot initialize language library!Click the 'OK' button to exit the program!";

// The title the frame shows, which message boxes take as their caption too.
QString WindowTitle() { return QStringLiteral("Telvane"); }

QString ToQString(const std::u16string& text) { return QString::fromStdU16String(text); }

QAction* AddCommand(QMenu& menu, const QString& text, UINT id) {
    QAction* action = menu.addAction(text);
    action->setData(id);
    return action;
}

// The arguments this process was started with, exactly as it received them.
QStringList OwnArguments() {
    QFile file(QStringLiteral("/proc/self/cmdline"));
    if (!file.open(QIODevice::ReadOnly)) return QCoreApplication::arguments().mid(1);
    QStringList arguments;
    const QList<QByteArray> parts = file.readAll().split('\0');
    // The block ends in a zero byte, which leaves an empty last part.
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) arguments << QFile::decodeName(parts[i]);
    return arguments;
}

std::optional<Rect> ParseRestartRect(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    const int width = values[2];
    const int height = values[3];
    if (width <= 0 || height <= 0 || width > kLargestRestartSize || height > kLargestRestartSize)
        return std::nullopt;
    for (int origin : {values[0], values[1]}) {
        if (origin < -kFarthestRestartOrigin || origin > kFarthestRestartOrigin) return std::nullopt;
    }
    return Rect{values[0], values[1], values[0] + width, values[1] + height};
}

}  // namespace

COrvexDlg::COrvexDlg() : CBlackWindow(IDD_ORVEX_DIALOG) {
    m_hWindowIcon = QIcon(IconResourcePath(IDR_MAINFRAME));
    m_bShowIcon = 1;
    m_bShowTitle = 1;
    m_bShowMinButton = 1;
    m_bShowMaxButton = 1;
    m_bShowCloseButton = 1;
    m_bResizable = 1;
    m_bMovable = 1;
    SetMessageBoxCaption(WindowTitle());
}

COrvexDlg::~COrvexDlg() = default;

BOOL COrvexDlg::OnInitDialog() {
    CBlackWindow::OnInitDialog();
    EnableBackupPrivilege();

    LanguageStore& store = LanguageStore::Global();
    const bool languageLoaded = store.InitLanguage();
    if (languageLoaded) {
        store.BuildLanguageList();
        InstallToolkitTranslation(store.CurrentLanguage());
    } else {
        AfxMessageBox(QString::fromLatin1(kFatalLanguageMessage));
        OnCancel();
    }

    BuildSystemMenu();
    setWindowIcon(m_hWindowIcon);
    SetWindowText(WindowTitle());
    ApplyStartupRect();
    // Without a language the program is ending, as its message said: no panel, whose panes would
    // each report the missing texts again.
    if (!languageLoaded) return TRUE;
    PlaceMainPanel();
    if (m_gridFiles.size() > 1) {
        // Once the window has its size, as the one file is played.
        QTimer::singleShot(0, &m_mainPanel, [this] { m_mainPanel.PlayFiles(m_gridFiles, CMainDlg::kSourceDropped); });
        return TRUE;
    }
    m_mainPanel.PlayStartFile(m_strStartFile, TakeRestartPosition());
    return TRUE;
}

void COrvexDlg::SetStartFile(const QString& asGiven, const QString& absolute) {
    m_strStartFileGiven = asGiven;
    m_strStartFile = absolute;
}

void COrvexDlg::PlaceMainPanel() {
    if (!m_mainPanel.GetSafeHwnd()) m_mainPanel.Create(IDD_MAIN_DLG, this);
    if (!m_mainPanel.GetSafeHwnd()) return;
    m_mainPanel.MoveWindow(m_rcContent, TRUE);
    m_mainPanel.ShowWindow(SW_SHOW);
}

void COrvexDlg::OnSize(UINT type, int width, int height) {
    CBlackWindow::OnSize(type, width, height);
    if (!m_mainPanel.GetSafeHwnd()) return;
    m_mainPanel.MoveWindow(m_rcContent, TRUE);
    m_mainPanel.RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// No process privileges to raise here; the caller ignores the result.
BOOL COrvexDlg::EnableBackupPrivilege() { return FALSE; }

void COrvexDlg::BuildSystemMenu() {
    m_pSystemMenu = new QMenu(this);
    AddCommand(*m_pSystemMenu, QStringLiteral("&Restore"), SC_RESTORE);
    AddCommand(*m_pSystemMenu, QStringLiteral("Mi&nimize"), SC_MINIMIZE);
    AddCommand(*m_pSystemMenu, QStringLiteral("Ma&ximize"), SC_MAXIMIZE);
    m_pSystemMenu->addSeparator();
    AddCommand(*m_pSystemMenu, QStringLiteral("&Close"), SC_CLOSE);
    const QString about = LoadResourceString(IDS_ABOUTBOX);
    if (!about.isEmpty()) {
        m_pSystemMenu->addSeparator();
        AddCommand(*m_pSystemMenu, about, ID_SHOW_ABOUT);
    }
}

void COrvexDlg::ShowSystemMenu(Point screenPoint) {
    if (!m_pSystemMenu) return;
    const bool zoomedOrIconic = IsZoomed() || IsIconic();
    for (QAction* action : m_pSystemMenu->actions()) {
        const UINT id = action->data().toUInt();
        if (id == SC_RESTORE) action->setEnabled(zoomedOrIconic);
        if (id == SC_MAXIMIZE) action->setEnabled(!IsZoomed() && m_bResizable);
    }
    if (QAction* chosen = m_pSystemMenu->exec(QPoint(screenPoint.x, screenPoint.y)))
        PostMessage(WM_SYSCOMMAND, chosen->data().toUInt(), 0);
}

// The frame has no window manager's menu button: the icon opens the system menu.
void COrvexDlg::OnLButtonDown(UINT flags, Point point) {
    if (m_bShowIcon && PtInRect(m_rcIcon, point)) {
        Point corner{m_rcIcon.left, m_rcIcon.bottom};
        ClientToScreen(&corner);
        ShowSystemMenu(corner);
        return;
    }
    CBlackWindow::OnLButtonDown(flags, point);
}

void COrvexDlg::OnSysCommand(UINT id, LParam lParam) {
    if ((id & 0xFFF0) == SC_KEYMENU) {
        // Alt+Space, from whichever window of ours has the focus.
        Point corner{m_rcIcon.left, m_nCaptionHeight};
        ClientToScreen(&corner);
        ShowSystemMenu(corner);
    } else if ((id & 0xFFF0) == ID_SHOW_ABOUT) {
        CAboutDlg about;
        about.DoModal();
    } else if (id >= ID_LANGUAGE_FIRST && id <= ID_LANGUAGE_LAST) {
        const int k = static_cast<int>(id - ID_LANGUAGE_FIRST);
        if (LanguageStore::Global().SwitchLanguage(k, m_nChosenLanguage)) SaveLanguageAndRestart();
    } else {
        CBlackWindow::OnSysCommand(id & 0xFFF0, lParam);
    }
}

// Named as the keys that do the same, in the About box's words; the export only while a file plays.
void COrvexDlg::AddClockEntries(QMenu& menu) {
    QString playing;
    int64_t positionMs = 0;
    menu.addSeparator();
    QAction* exportClip = AddCommand(menu, KeyDescription(KeyAction::ExportClip, 0), ID_EXPORT_CLIP);
    exportClip->setObjectName(QStringLiteral("exportClipEntry"));
    exportClip->setEnabled(m_mainPanel.GetPlayingFile(playing, positionMs));
    QAction* utc = AddCommand(menu, KeyDescription(KeyAction::ClockZone, 0), ID_CLOCK_IN_UTC);
    utc->setObjectName(QStringLiteral("clockInUtcEntry"));
    utc->setCheckable(true);
    utc->setChecked(ShownClockZone() == ClockZone::Utc);
}

BOOL COrvexDlg::OnCommand(WParam wParam, LParam lParam) {
    const UINT id = LoWord(wParam);
    if (id == ID_EXPORT_CLIP || id == ID_CLOCK_IN_UTC) {
        if (id == ID_EXPORT_CLIP) m_mainPanel.ExportClip();
        else m_mainPanel.ToggleClockZone();
        return TRUE;
    }
    const bool forwarded =
        id == ID_SHOW_ABOUT || (id >= ID_LANGUAGE_FIRST && id <= ID_LANGUAGE_FORWARDED_LAST);
    if (!forwarded) return CBlackWindow::OnCommand(wParam, lParam);
    SendMessage(WM_SYSCOMMAND, id, 0);
    return TRUE;
}

void COrvexDlg::OnRButtonDown(UINT flags, Point point) {
    ShowCaptionMenu(point);
    CBlackWindow::OnRButtonDown(flags, point);
}

void COrvexDlg::ShowCaptionMenu(Point point) {
    Rect client;
    GetClientRect(&client);
    const Rect zone{kCaptionZoneLeft, kCaptionZoneTop,
                    client.Width() - kCaptionZoneRightMargin, m_nCaptionHeight};
    if (!PtInRect(zone, point)) return;
    Point screen = point;
    ClientToScreen(&screen);

    const LanguageStore& store = LanguageStore::Global();
    const QString languageCaption = store.EntryCount() > 18 ? ToQString(store.Text(19)) : QString();
    const QString aboutText = store.EntryCount() >= 1 ? ToQString(store.Text(1)) : QString();

    QMenu menu(this);
    if (const MenuTemplate* skeleton = FindMenuTemplate(IDR_CAPTION_MENU)) {
        for (const MenuItemTemplate& item : skeleton->items) {
            if (item.id != kCaptionMenuPlaceholder) AddCommand(menu, item.text, item.id);
        }
    }
    // Every language goes into one submenu, attached where a language's own word for
    // "language" matches the current one, normally at the current language itself.
    auto* languages = new QMenu(&menu);
    bool attached = false;
    for (size_t k = 0; k < store.InstalledLanguages().size(); ++k) {
        const QString word = ToQString(CleanLanguageText(store.InstalledLanguageWord(k)));
        if (word == languageCaption && !attached) {
            languages->setTitle(word);
            menu.addMenu(languages);
            attached = true;
        }
        AddCommand(*languages, ToQString(CleanLanguageText(store.InstalledLanguageName(k))),
                   ID_LANGUAGE_FIRST + static_cast<UINT>(k));
    }
    AddClockEntries(menu);
    if (!aboutText.isEmpty()) {
        menu.addSeparator();
        AddCommand(menu, aboutText, ID_SHOW_ABOUT);
    }

    // An empty menu shows nothing, but running it would still swallow the next click.
    if (menu.isEmpty()) return;
    // The choice arrives as a command once the menu is gone, as a tracked menu's choice does.
    if (QAction* chosen = menu.exec(QPoint(screen.x, screen.y)))
        PostMessage(WM_COMMAND, MakeWParam(chosen->data().toUInt(), 0), 0);
}

void COrvexDlg::ApplyStartupRect() {
    const QByteArray value = qgetenv(kRestartRectVariable);
    if (value.isNull()) return;
    // Only the instance a switch started opens there, not the programs it may start itself.
    qunsetenv(kRestartRectVariable);
    if (const std::optional<Rect> rect = ParseRestartRect(QString::fromLatin1(value)))
        MoveWindow(*rect);
}

// Only the instance a switch started plays from there, not the programs it may start itself.
int64_t COrvexDlg::TakeRestartPosition() {
    const QByteArray value = qgetenv(kRestartPositionVariable);
    qunsetenv(kRestartPositionVariable);
    bool valid = false;
    const qlonglong positionMs = value.toLongLong(&valid);
    return valid && positionMs > 0 ? positionMs : 0;
}

void COrvexDlg::SaveLanguageAndRestart() {
    // A configuration that cannot be written leaves the next instance in the previous language.
    LanguageStore::Global().SaveLanguageChoice(m_nChosenLanguage);
    RestartApplication();
}

BOOL COrvexDlg::RestartApplication() {
    Rect window;
    GetWindowRect(&window);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kRestartRectVariable),
                       QStringLiteral("%1,%2,%3,%4")
                           .arg(window.left)
                           .arg(window.top)
                           .arg(window.Width())
                           .arg(window.Height()));
    QProcess next;
    next.setProgram(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
    QString playing;
    int64_t positionMs = 0;
    const bool reopen = m_mainPanel.GetPlayingFile(playing, positionMs);
    environment.remove(QString::fromLatin1(kRestartPositionVariable));
    if (reopen) environment.insert(QString::fromLatin1(kRestartPositionVariable), QString::number(positionMs));
    // The new instance may not start in this one's folder: it gets the file's absolute path. The
    // file playing now takes the command line file's place, or is added when there was none.
    const QString fileToOpen = reopen ? playing : m_strStartFile;
    QStringList arguments = OwnArguments();
    bool replaced = false;
    for (QString& argument : arguments) {
        if (m_strStartFileGiven.isEmpty() || argument != m_strStartFileGiven) continue;
        argument = fileToOpen;
        replaced = true;
    }
    if (reopen && !replaced) arguments << playing;
    next.setArguments(arguments);
    next.setProcessEnvironment(environment);
    next.startDetached();
    OnCancel();
    return TRUE;
}
