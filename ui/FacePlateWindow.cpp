#include "ui/FacePlateWindow.h"

#include "scanner/Keyboard.h"
#include "scanner/Keypad.h"
#include "scanner/ScannerSession.h"
#include "transfer/MemoryWipe.h"
#include "ui/AboutDialog.h"
#include "ui/AuxDisplayWindow.h"
#include "ui/CsvCommands.h"
#include "ui/DisplayAnnouncer.h"
#include "ui/FacePlatePanel.h"
#include "ui/Help.h"
#include "ui/KeyCodes.h"
#include "ui/MainMenu.h"
#include "ui/RecordingDialog.h"
#include "ui/RemoteAccessDialog.h"
#include "ui/AlertsDialog.h"
#include "ui/MqttDialog.h"
#include "ui/MemoryTransfer.h"
#include "ui/ScannerBankEditor.h"
#include "ui/SerialDeviceDialog.h"
#include "ui/TalkGroupsEditor.h"
#include "ui/Theme.h"
#include "ui/ThemeMenu.h"
#include "ui/Twips.h"
#include "ui/ViewWindows.h"

#include <QApplication>
#include <QSettings>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

const QString FacePlateWindow::kCaption = QStringLiteral("VKS-4410 Valkes Communications");

FacePlateWindow::FacePlateWindow(const Wiring &wiring, QWidget *parent)
    : QMainWindow(parent)
    , m_w(wiring)
    , m_auxWindow(new AuxDisplayWindow(wiring.aux, this))
{
    const MessageFn forward = [this](MessageKind kind, const QString &title, const QString &text) {
        return message(kind, title, text);
    };
    m_transfer = new MemoryTransfer({m_w.session, m_w.store, m_w.databasePath, forward, this, m_auxWindow, m_w.tap}, this);
    m_views = new ViewWindows({m_w.databasePath, m_w.activity, m_w.tap, forward}, this);
    m_csv = new CsvCommands(m_w.databasePath, forward, this, this);

    setObjectName(QStringLiteral("frmFacePlate1"));
    setWindowTitle(kCaption);
    // The panel's faces, where the machine has no font of that name.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_dpi = logicalDpiX();

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("FacePlatePanel"));
    panel->setAutoFillBackground(true);
    ThemeMenu::paintPanel(panel, m_w.theme && m_w.theme->isDark());
    if (m_w.theme)
        connect(m_w.theme, &Theme::changed, panel, [panel](bool dark) { ThemeMenu::paintPanel(panel, dark); });
    panel->setFixedSize(Twips::toPixels(FacePlatePanel::kClientWidth, m_dpi),
                        Twips::toPixels(FacePlatePanel::kClientHeight, m_dpi));
    setCentralWidget(panel);
    FacePlatePanel built(m_dpi);
    built.build(panel, *m_w.display);
    m_fields = built.fields;
    m_status = built.status;
    m_buttons = built.buttons;
    m_announcer = new DisplayAnnouncer(panel->findChild<QWidget *>(QStringLiteral("Text2")), m_w.display, this);
    buildMenus();

    // A reply can clear the display and draw it again within one turn; the
    // fields are brought up to date once the turn is over, so only real
    // changes are drawn.
    DisplayModel *display = m_w.display;
    connect(display, &DisplayModel::textChanged, this, [this](DisplayModel::Field f, const QString &) {
        m_dirty[f] = true;
        if (!m_renderPending && !m_w.display->isUpdating()) {
            m_renderPending = true;
            QTimer::singleShot(0, this, &FacePlateWindow::renderDirtyFields);
        }
    });
    connect(display, &DisplayModel::updated, this, &FacePlateWindow::renderDirtyFields);
    connect(display, &DisplayModel::statusLineChanged, m_status, &QLineEdit::setText);

    Keypad *keypad = m_w.keypad;
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        const QString name = it.key();
        connect(it.value(), &QPushButton::clicked, this, [keypad, name] { keypad->press(name); });
    }

    // The faceplate sees every key before anything on it does.
    setFocusPolicy(Qt::StrongFocus);
    installEventFilter(this);
    panel->installEventFilter(this);
}

bool FacePlateWindow::message(MessageKind kind, const QString &title, const QString &text) const
{
    return m_message ? m_message(kind, title, text) : false;
}

bool FacePlateWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        m_w.keyboard->key(KeyCodes::fromEvent(static_cast<QKeyEvent *>(event)));
        return true;
    }
    if (event->type() == QEvent::KeyRelease)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void FacePlateWindow::showAuxDisplay()
{
    m_auxWindow->show();
    activateWindow();
    raise();
}

void FacePlateWindow::renderDirtyFields()
{
    m_renderPending = false;
    for (int f = 0; f < DisplayModel::FieldCount; ++f) {
        if (!m_dirty[f])
            continue;
        m_dirty[f] = false;
        const QString text = m_w.display->text(DisplayModel::Field(f));
        if (m_fields[f]->text() != text)
            m_fields[f]->setText(text);
    }
    m_announcer->refresh();
}

QMenu *FacePlateWindow::menu(const QString &objectName) const
{
    return menuBar()->findChild<QMenu *>(objectName);
}

void FacePlateWindow::buildMenus()
{
    ScannerSession *session = m_w.session;
    const auto help = [this] { message(MessageKind::Information, Help::title(), Help::text(m_w.databasePath)); };
    MainMenu::build(menuBar(), {
        {QStringLiteral("File_Exit"), [this, session] {
             if (!closeEditors())
                 return; // the user kept an editor open
             session->shutdown();
             QApplication::quit();
         }},
        {QStringLiteral("mnuCom_Port"), [session] { session->askComPort(); }},
        {QStringLiteral("mnuCom_Speed"), [session] { session->askComSpeed(); }},
        {QStringLiteral("mnuSerialDevice"), [this] { chooseSerialDevice(); }},
        {QStringLiteral("mnuRemoteAccess"), [this] {
             if (m_w.remote)
                 RemoteAccessDialog(m_w.remote, m_w.store, this).exec();
         }},
        {QStringLiteral("mnuAlerts"), [this] {
             if (m_w.alerts)
                 AlertsDialog(m_w.alerts, this).exec();
         }},
        {QStringLiteral("mnuRecording"), [this] {
             if (m_w.recording)
                 RecordingDialog(m_w.recording, m_w.store, this).exec();
         }},
        {QStringLiteral("mnuMqtt"), [this] {
             if (m_w.mqtt)
                 MqttDialog(m_w.mqtt, m_w.store, this).exec();
         }},
        {QStringLiteral("mnuAuxDisp"), [this] { showAuxDisplay(); }},
        {QStringLiteral("mnuTalkgroupActivity"), [this] { m_views->showActivity(); }},
        {QStringLiteral("mnuActivityStatistics"), [this] { m_views->showStatistics(); }},
        {QStringLiteral("mnuSerialMonitor"), [this] { m_views->showSerialMonitor(); }},
        {QStringLiteral("Backup"), [this] { m_transfer->backup(); }},
        {QStringLiteral("Restore"), [this] { m_transfer->restore(); }},
        {QStringLiteral("EditBanks"), [this] { openBankEditor(); }},
        {QStringLiteral("EditTalkGroups"), [this] { openTalkgroupEditor(); }},
        {QStringLiteral("ExportBanksCsv"), [this] { m_csv->exportBanks(); }},
        {QStringLiteral("ImportBanksCsv"), [this] { m_csv->importBanks(); }},
        {QStringLiteral("ExportTalkgroupsCsv"), [this] { m_csv->exportTalkgroups(); }},
        {QStringLiteral("ImportTalkgroupsCsv"), [this] { m_csv->importTalkgroups(); }},
        {QStringLiteral("ClearMemory"), [this] { MemoryWipe::run(m_w.port, m_message); }},
        {QStringLiteral("mnuGettingStarted"), help},
        {QStringLiteral("mnuTroubleShoot"), help},
        {QStringLiteral("About"), [this] { AboutDialog::showModal(this); }},
    });
    if (m_w.theme)
        ThemeMenu::add(menu(QStringLiteral("mnuView")), m_w.theme, m_w.store);
}

ScannerBankEditor *FacePlateWindow::bankEditor() const
{
    return m_bankEditor;
}

TalkGroupsEditor *FacePlateWindow::talkgroupEditor() const
{
    return m_talkgroupEditor;
}

void FacePlateWindow::chooseSerialDevice()
{
    const LinkSettings &link = m_w.session->link();
    const int comPort = LinkSettings::isPortNumber(link.comPort) ? link.comPort : 1;
    SerialDeviceDialog dialog(comPort, LinkSettings::deviceFor(*m_w.store, comPort),
                              LinkSettings::overlapTransfers(*m_w.store), this);
    if (m_deviceLister)
        dialog.setLister(m_deviceLister);
    if (dialog.exec() != QDialog::Accepted)
        return;
    LinkSettings::setOverlapTransfers(*m_w.store, dialog.overlap());
    m_w.session->useDevice(dialog.device());
}

void FacePlateWindow::openBankEditor()
{
    if (!m_bankEditor) {
        auto *editor = new ScannerBankEditor(m_w.databasePath, m_message);
        if (m_askPending)
            editor->setPendingEditsQuestion(m_askPending);
        if (!editor->load()) {
            delete editor;
            return;
        }
        m_bankEditor = editor;
    }
    m_bankEditor->show();
    m_bankEditor->raise();
    m_bankEditor->activateWindow();
}

void FacePlateWindow::openTalkgroupEditor()
{
    if (!m_talkgroupEditor) {
        auto *editor = new TalkGroupsEditor(m_w.databasePath, m_message);
        if (m_askPending)
            editor->setPendingEditsQuestion(m_askPending);
        if (!editor->load()) {
            delete editor;
            return;
        }
        editor->move(pos());
        m_talkgroupEditor = editor;
    }
    m_talkgroupEditor->show();
    m_talkgroupEditor->raise();
    m_talkgroupEditor->activateWindow();
}

void FacePlateWindow::placeWindows()
{
    move(0, 0);
    show();
    m_auxWindow->move(0, Twips::toPixels(5506, m_dpi));
    m_auxWindow->show();
    raise();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

bool FacePlateWindow::closeEditors()
{
    if (m_bankEditor && !m_bankEditor->close())
        return false;
    return !m_talkgroupEditor || m_talkgroupEditor->close();
}

void FacePlateWindow::closeEvent(QCloseEvent *event)
{
    // The program ends with the faceplate: the editors' unsaved changes are
    // asked about first, and the user may keep everything open.
    if (!closeEditors()) {
        event->ignore();
        return;
    }
    m_w.session->shutdown();
    m_auxWindow->close();
    m_views->closeAll();
    emit closing();
    event->accept();
}
