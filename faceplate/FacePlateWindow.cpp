#include "faceplate/FacePlateWindow.h"

#include "faceplate/AuxDisplayWindow.h"
#include "faceplate/FacePlate.h"
#include "faceplate/Keyboard.h"
#include "faceplate/Keypad.h"
#include "faceplate/LcdFont.h"
#include "faceplate/Twips.h"
#include "link/CommPort.h"
#include "editors/ScannerBankEditor.h"
#include "editors/TalkGroupsEditor.h"
#include "shell/AboutDialog.h"
#include "shell/Help.h"
#include "shell/MainMenu.h"
#include "transfer/ChannelDatabase.h"
#include "transfer/MemoryTransfer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

const QString FacePlateWindow::kCaption = QStringLiteral("VKS-4410 Valkes Communications");

namespace {

// Colours a borderless text field. The field paints its whole background
// itself, so nothing under it is drawn again when its text changes.
void paintField(QLineEdit *edit, const QColor &background, const QColor &text)
{
    QPalette pal = edit->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base, background);
        pal.setColor(g, QPalette::Window, background);
        pal.setColor(g, QPalette::Text, text);
    }
    edit->setPalette(pal);
    edit->setAutoFillBackground(true);
}

QFont panelFont(const QString &family, qreal points, bool bold)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

struct FieldSpec
{
    DisplayModel::Field field;
    int left, top, width, height;
    const char *family; // nullptr: the seven-segment face
    qreal points;
};

// Positions in twips on the window's client area.
const FieldSpec kFieldSpecs[] = {
    {DisplayModel::BANK, 2400, 360, 1095, 255, "Arial", 9.75},
    {DisplayModel::BANKNUM, 3480, 360, 4455, 255, "Arial", 9.75},
    {DisplayModel::ACTIVEBANK, 3480, 600, 4455, 225, "Arial", 9.75},
    {DisplayModel::TRUNKTYPE, 2400, 600, 1095, 255, "Arial", 9.75},
    {DisplayModel::MUTE, 2400, 840, 1095, 255, "Arial", 8.25},
    {DisplayModel::SVC_PUB, 3480, 840, 495, 255, "Arial", 8.25},
    {DisplayModel::SVC_POLICE, 3960, 840, 735, 255, "Arial", 8.25},
    {DisplayModel::SVC_FIRE_EMG, 4680, 840, 1095, 255, "Arial", 8.25},
    {DisplayModel::SVC_AIR, 5760, 840, 495, 255, "Arial", 8.25},
    {DisplayModel::SVC_WX, 6240, 840, 495, 255, "Arial", 8.25},
    {DisplayModel::ALERT, 6720, 840, 735, 255, "Arial", 8.25},
    {DisplayModel::SHIFT, 7440, 840, 495, 255, "Arial", 8.25},
    {DisplayModel::CHAN, 2400, 1080, 1095, 360, nullptr, 14.25},
    {DisplayModel::CHANLBL, 3480, 1200, 375, 255, "Arial", 9.75},
    {DisplayModel::FREQ, 3840, 1080, 2535, 375, nullptr, 18},
    {DisplayModel::MHZ, 6360, 1200, 495, 255, "Arial", 9.75},
    {DisplayModel::ModMode, 6840, 1200, 1095, 255, "Arial", 9.75},
    {DisplayModel::SCAN, 2400, 1440, 615, 255, "Arial", 9},
    {DisplayModel::MANUAL, 3000, 1440, 855, 255, "Arial", 9},
    {DisplayModel::PRI, 3840, 1440, 375, 255, "Arial", 9},
    {DisplayModel::HOLD, 4200, 1440, 615, 255, "Arial", 9},
    {DisplayModel::DELAY, 4800, 1440, 735, 255, "Arial", 8.25},
    {DisplayModel::DATA, 5520, 1440, 615, 255, "Arial", 9},
    {DisplayModel::LOCKOUT, 6120, 1440, 495, 255, "Arial", 9},
    {DisplayModel::SRCHDN, 6600, 1440, 255, 255, "Arial", 9},
    {DisplayModel::SEARCH, 6840, 1440, 855, 255, "Arial", 9},
    {DisplayModel::SRCHUP, 7680, 1440, 255, 255, "Arial", 9},
};

struct ButtonSpec
{
    const char *name;
    const char *caption;
    const char *toolTip;
    int left, top, width, height;
};

// The front-panel keys: function keys in two rows under the display, the mute
// key under the volume knob, the numeric keypad on the right.
const ButtonSpec kButtonSpecs[] = {
    {"btnSHFT", "SHFT", "SHIFT", 2040, 2580, 975, 405},
    {"btnSPD", "SPD", "SPEED/PRIORITY", 3240, 2580, 975, 405},
    {"btnDLY", "DLY", "DELAY", 4320, 2580, 975, 405},
    {"btnHOLD", "HOLD", "", 5400, 2580, 975, 405},
    {"btnLIMIT", "LIMIT", "", 6480, 2580, 975, 405},
    {"btnTRUNK", "TRUNK", "", 7560, 2580, 975, 405},
    {"btnSCAN", "SCAN", "", 2040, 3300, 975, 405},
    {"btnDATA", "DATA", "DATA/ALERT", 3240, 3300, 975, 405},
    {"btnSKIP", "SKIP", "SKIP/LOCK OUT", 4320, 3300, 975, 405},
    {"btnSRCH", "SRCH", "SEARCH", 5400, 3300, 975, 405},
    {"btnSVC", "SVC", "SERVICE", 6480, 3300, 975, 405},
    {"btnMAN", "MAN", "MANUAL", 7560, 3300, 975, 405},
    {"btnMUTE", "MUTE", "MUTE", 600, 1500, 1095, 405},
    {"btnNUM1", "1", "", 8760, 1800, 480, 375},
    {"btnNUM2", "2", "", 9360, 1800, 480, 375},
    {"btnNUM3", "3", "", 9960, 1800, 480, 375},
    {"btnNUM4", "4", "", 8760, 2400, 480, 375},
    {"btnNUM5", "5", "", 9360, 2400, 480, 375},
    {"btnNUM6", "6", "", 9960, 2400, 480, 375},
    {"btnNUM7", "7", "", 8760, 3000, 480, 375},
    {"btnNUM8", "8", "", 9360, 3000, 480, 375},
    {"btnNUM9", "9", "", 9960, 3000, 480, 375},
    {"btnNUMDEC", "\u2022", "", 8760, 3660, 480, 375},
    {"btnNUM0", "0", "", 9360, 3660, 480, 375},
    {"btnNUME", "E", "", 9960, 3660, 480, 375},
};

struct LegendSpec
{
    const char *name;
    const char *text;
    const char *toolTip;
    int left, top, width, height;
};

const LegendSpec kLegendSpecs[] = {
    {"labelREMOTE", "REMOTE", "", 2040, 2040, 1095, 285},
    {"labelPRI", "PRI", "", 3360, 2280, 735, 285},
    {"labelALERT", " ALERT", "ALERT", 3240, 3000, 855, 285},
    {"labelLO", "L/O", "LOCK OUT", 4320, 3000, 735, 285},
    {"labelCLR", "CLR", "", 8640, 3360, 615, 285},
    // Second functions of the numeric keys, above each key.
    {"label11", "11", "", 8760, 1560, 480, 240},
    {"label12", "12", "", 9360, 1560, 480, 240},
    {"label13", "13", "", 9960, 1560, 480, 240},
    {"label14", "14", "", 8760, 2160, 480, 240},
    {"label15", "15", "", 9360, 2160, 480, 240},
    {"label16", "16", "", 9960, 2160, 480, 240},
    {"label17", "17", "", 8760, 2760, 480, 240},
    {"label18", "18", "", 9360, 2760, 480, 240},
    {"label19", "19", "", 9960, 2760, 480, 240},
    {"label20", "20", "", 9360, 3420, 480, 240},
};

constexpr int kClientWidth = 10800;
constexpr int kClientHeight = 4900;

} // namespace

FacePlateWindow::FacePlateWindow(FacePlate *plate, QWidget *parent)
    : QMainWindow(parent)
    , m_plate(plate)
    , m_auxWindow(new AuxDisplayWindow(plate->aux(), this))
    , m_transfer(new MemoryTransfer(plate, this, m_auxWindow, this))
{
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
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(224, 224, 224));
    panel->setPalette(pal);
    panel->setFixedSize(Twips::toPixels(kClientWidth, m_dpi), Twips::toPixels(kClientHeight, m_dpi));
    setCentralWidget(panel);
    buildPanel(panel);
    buildMenus();

    DisplayModel *display = m_plate->display();
    // A reply can clear the display and draw it again within one turn; the
    // fields are brought up to date once the turn is over, so only real
    // changes are drawn.
    connect(display, &DisplayModel::textChanged, this, [this](DisplayModel::Field f, const QString &) {
        m_dirty[f] = true;
        if (!m_renderPending && !m_plate->display()->isUpdating()) {
            m_renderPending = true;
            QTimer::singleShot(0, this, &FacePlateWindow::renderDirtyFields);
        }
    });
    connect(display, &DisplayModel::updated, this, &FacePlateWindow::renderDirtyFields);
    connect(display, &DisplayModel::statusLineChanged, m_status, &QLineEdit::setText);

    m_plate->setPlaceWindows([this] { placeWindows(); });

    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        const QString name = it.key();
        connect(it.value(), &QPushButton::clicked, this, [this, name] { m_plate->keypad()->press(name); });
    }

    // The faceplate sees every key before anything on it does.
    setFocusPolicy(Qt::StrongFocus);
    installEventFilter(this);
    panel->installEventFilter(this);
}

bool FacePlateWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        m_plate->keyboard()->key(Keyboard::fromEvent(static_cast<QKeyEvent *>(event)));
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
        const QString text = m_plate->display()->text(DisplayModel::Field(f));
        if (m_fields[f]->text() != text)
            m_fields[f]->setText(text);
    }
}

QRect FacePlateWindow::px(const QRect &t) const
{
    return Twips::rect(t.x(), t.y(), t.width(), t.height(), m_dpi);
}

QLineEdit *FacePlateWindow::makeField(QWidget *panel, const QString &name, const QString &text, const QRect &twips)
{
    auto *edit = new QLineEdit(text, panel);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFrame(false);
    edit->setTextMargins(0, 0, 0, 0);
    edit->setContentsMargins(0, 0, 0, 0);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setGeometry(px(twips));
    return edit;
}

QPushButton *FacePlateWindow::makeButton(QWidget *panel, const QString &name, const QString &caption,
                                         const QString &toolTip, const QRect &twips)
{
    auto *button = new QPushButton(caption, panel);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setFocusPolicy(Qt::NoFocus);
    if (!toolTip.isEmpty())
        button->setToolTip(toolTip);
    button->setGeometry(px(twips));
    m_buttons.insert(name, button);
    return button;
}

void FacePlateWindow::buildPanel(QWidget *panel)
{
    // Decorative frames of the real panel.
    const struct { const char *name; QRect twips; } shapes[] = {
        {"Shape1", QRect(2280, 240, 5775, 1575)},
        {"Shape2", QRect(8520, 1440, 2040, 2700)},
        {"Shape3", QRect(360, 1080, 1560, 2940)},
    };
    for (const auto &s : shapes) {
        auto *frame = new QFrame(panel);
        frame->setObjectName(QLatin1String(s.name));
        frame->setFrameShape(QFrame::Box);
        frame->setFrameShadow(QFrame::Sunken);
        frame->setGeometry(px(s.twips));
    }

    // The orange LCD panel the display fields lie on.
    QLineEdit *lcd = makeField(panel, QStringLiteral("Text2"), QString(), QRect(2400, 360, 5535, 1335));
    lcd->setAccessibleName(QStringLiteral("Display"));
    const QColor orange(255, 128, 0);
    paintField(lcd, orange, Qt::black);

    const QString lcd7 = LcdFont::family();
    for (const FieldSpec &item : kFieldSpecs) {
        const QString name = DisplayModel::objectNameOf(item.field);
        QLineEdit *edit = makeField(panel, name, m_plate->display()->text(item.field),
                                    QRect(item.left, item.top, item.width, item.height));
        paintField(edit, orange, Qt::black);
        edit->setFont(panelFont(item.family ? QString::fromLatin1(item.family) : lcd7, item.points, true));
        Qt::Alignment align = Qt::AlignHCenter;
        if (item.field == DisplayModel::FREQ)
            align = Qt::AlignRight;
        else if (item.field == DisplayModel::ACTIVEBANK)
            align = Qt::AlignLeft;
        edit->setAlignment(align | Qt::AlignVCenter);
        m_fields[item.field] = edit;
    }

    m_status = makeField(panel, QStringLiteral("StatusLine"), m_plate->display()->statusLine(),
                         QRect(1920, 4320, 7575, 375));
    m_status->setFrame(true);
    paintField(m_status, Qt::black, Qt::white);
    m_status->setFont(panelFont(QStringLiteral("MS Sans Serif"), 9.75, false));
    m_status->setAlignment(Qt::AlignCenter);

    const QColor darkGrey(64, 64, 64);
    for (const LegendSpec &item : kLegendSpecs) {
        QLineEdit *legend = makeField(panel, QLatin1String(item.name), QLatin1String(item.text),
                                      QRect(item.left, item.top, item.width, item.height));
        paintField(legend, darkGrey, Qt::white);
        legend->setFont(panelFont(QStringLiteral("MS Sans Serif"), 9.75, true));
        legend->setAlignment(Qt::AlignCenter);
        if (*item.toolTip)
            legend->setToolTip(QLatin1String(item.toolTip));
    }

    // The knobs' captions.
    const struct { const char *name; const char *text; QRect twips; qreal points; } knobs[] = {
        {"Text17", "VOLUME", QRect(600, 1200, 1095, 195), 8.25},
        {"Text18", "SQUELCH", QRect(600, 2760, 1095, 195), 8.25},
        {"Text20", "-", QRect(480, 2040, 255, 285), 15.75},
        {"Text22", "+", QRect(1560, 2040, 255, 285), 15.75},
        {"Text21", "-", QRect(480, 3600, 255, 285), 15.75},
        {"Text19", "+", QRect(1560, 3600, 255, 285), 15.75},
    };
    for (const auto &k : knobs) {
        QLineEdit *edit = makeField(panel, QLatin1String(k.name), QLatin1String(k.text), k.twips);
        paintField(edit, darkGrey, Qt::white);
        edit->setFont(panelFont(k.points > 10 ? QStringLiteral("Arial") : QStringLiteral("MS Sans Serif"),
                                k.points, true));
        edit->setAlignment(Qt::AlignCenter);
    }

    // Static captions of the panel.
    const struct { const char *name; const char *text; QRect twips; qreal points; } captions[] = {
        {"Label3", "VKS-4410 ", QRect(8400, 240, 2280, 360), 14},
        {"Label1", "DUAL TRUNKING", QRect(8400, 600, 2280, 255), 9},
        {"Label2", "1000 CHANNELS", QRect(8400, 840, 2280, 255), 9},
        {"lblBrand", "VALKES", QRect(360, 240, 1800, 480), 16},
        {"lblWeb", "www.valkes.example", QRect(360, 720, 1800, 255), 7.5},
    };
    for (const auto &c : captions) {
        auto *label = new QLabel(QLatin1String(c.text), panel);
        label->setObjectName(QLatin1String(c.name));
        label->setFont(panelFont(QStringLiteral("Arial"), c.points, true));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(px(c.twips));
    }

    for (const ButtonSpec &item : kButtonSpecs) {
        QPushButton *button = makeButton(panel, QLatin1String(item.name), QString::fromUtf8(item.caption),
                                         QLatin1String(item.toolTip),
                                         QRect(item.left, item.top, item.width, item.height));
        button->setFont(panelFont(QStringLiteral("Arial"), 8.25, true));
    }
    m_buttons.value(QStringLiteral("btnMUTE"))
        ->setStyleSheet(QStringLiteral("QPushButton { background: rgb(200,0,0); color: white; }"));
}

QMenu *FacePlateWindow::menu(const QString &objectName) const
{
    return menuBar()->findChild<QMenu *>(objectName);
}

void FacePlateWindow::buildMenus()
{
    const MessageFn message = [this](MessageKind kind, const QString &title, const QString &text) {
        const MessageFn show = m_plate->message();
        return show ? show(kind, title, text) : false;
    };
    const auto help = [message] { message(MessageKind::Information, Help::title(), Help::text()); };
    MainMenu::build(menuBar(), {
        {QStringLiteral("File_Exit"), [this] {
             m_plate->shutdown();
             QApplication::quit();
         }},
        {QStringLiteral("mnuCom_Port"), [this] { m_plate->mnuComPort(); }},
        {QStringLiteral("mnuCom_Speed"), [this] { m_plate->mnuComSpeed(); }},
        {QStringLiteral("mnuAuxDisp"), [this] { showAuxDisplay(); }},
        {QStringLiteral("Backup"), [this] { m_transfer->backup(); }},
        {QStringLiteral("Restore"), [this] { m_transfer->restore(); }},
        {QStringLiteral("EditBanks"), [this] { openBankEditor(); }},
        {QStringLiteral("EditTalkGroups"), [this] { openTalkgroupEditor(); }},
        {QStringLiteral("ClearMemory"), [this] { m_transfer->wipe(); }},
        {QStringLiteral("mnuGettingStarted"), help},
        {QStringLiteral("mnuTroubleShoot"), help},
        {QStringLiteral("About"), [this] { AboutDialog::showModal(this); }},
    });
}

ScannerBankEditor *FacePlateWindow::bankEditor() const
{
    return m_bankEditor;
}

TalkGroupsEditor *FacePlateWindow::talkgroupEditor() const
{
    return m_talkgroupEditor;
}

void FacePlateWindow::openBankEditor()
{
    if (!m_bankEditor) {
        auto *editor = new ScannerBankEditor(m_plate->database()->path(), m_plate->message());
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
        auto *editor = new TalkGroupsEditor(m_plate->database()->path(), m_plate->message());
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

void FacePlateWindow::load()
{
    m_plate->load();
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

void FacePlateWindow::closeEvent(QCloseEvent *event)
{
    m_plate->shutdown();
    m_auxWindow->close();
    if (m_bankEditor)
        m_bankEditor->close();
    if (m_talkgroupEditor)
        m_talkgroupEditor->close();
    emit closing();
    event->accept();
}
