#include "ui/FacePlatePanel.h"

#include "ui/LcdFont.h"
#include "scanner/DisplayWords.h"
#include "ui/DisplayAnnouncer.h"
#include "ui/Twips.h"

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

struct FieldLayout
{
    DisplayModel::Field field;
    int left, top, width, height;
    const char *family; // nullptr: the seven-segment face
    qreal points;
};

// Positions in twips on the window's client area.
const FieldLayout kFieldLayout[] = {
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

// A caption on the panel: its object name, text, place and size of face,
// and whether it stands on a field of its own.
struct CaptionLayout
{
    const char *name;
    const char *text;
    QRect twips;
    qreal points;
    bool onField;
};

const CaptionLayout kCaptionLayout[] = {
    {"Text17", "VOLUME", QRect(600, 1200, 1095, 195), 8.25, true},
    {"Text18", "SQUELCH", QRect(600, 2760, 1095, 195), 8.25, true},
    {"Text20", "-", QRect(480, 2040, 255, 285), 15.75, true},
    {"Text22", "+", QRect(1560, 2040, 255, 285), 15.75, true},
    {"Text21", "-", QRect(480, 3600, 255, 285), 15.75, true},
    {"Text19", "+", QRect(1560, 3600, 255, 285), 15.75, true},
    {"Label3", "VKS-4410 ", QRect(8400, 240, 2280, 360), 14, false},
    {"Label1", "DUAL TRUNKING", QRect(8400, 600, 2280, 255), 9, false},
    {"Label2", "1000 CHANNELS", QRect(8400, 840, 2280, 255), 9, false},
    {"lblBrand", "VALKES", QRect(360, 240, 1800, 480), 16, false},
    {"lblWeb", "www.valkes.example", QRect(360, 720, 1800, 255), 7.5, false},
};

// A key or a legend: its object name, the text it shows, its tool tip and
// where it stands.
struct LabelledLayout
{
    const char *name;
    const char *text;
    const char *toolTip;
    int left, top, width, height;

    QRect twips() const { return QRect(left, top, width, height); }
};

// The front-panel keys: function keys in two rows under the display, the mute
// key under the volume knob, the numeric keypad on the right.
const LabelledLayout kButtonLayout[] = {
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

const LabelledLayout kLegendLayout[] = {
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

} // namespace

QRect FacePlatePanel::px(const QRect &t) const
{
    return Twips::rect(t.x(), t.y(), t.width(), t.height(), dpi);
}

QLineEdit *FacePlatePanel::makeField(QWidget *panel, const QString &name, const QString &text, const QRect &twips,
                                     QLineEdit *edit)
{
    if (!edit)
        edit = new QLineEdit(panel);
    edit->setText(text);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFrame(false);
    // The panel's fields print to their edges: without a frame, the line
    // edit's own 2 pixels each side would cut the longest texts.
    edit->setTextMargins(-2, 0, -2, 0);
    edit->setContentsMargins(0, 0, 0, 0);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setGeometry(px(twips));
    return edit;
}

QPushButton *FacePlatePanel::makeButton(QWidget *panel, const QString &name, const QString &caption,
                                         const QString &toolTip, const QRect &twips)
{
    auto *button = new QPushButton(caption, panel);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setFocusPolicy(Qt::NoFocus);
    if (!toolTip.isEmpty())
        button->setToolTip(toolTip);
    button->setGeometry(px(twips));
    buttons.insert(name, button);
    return button;
}

void FacePlatePanel::build(QWidget *panel, const DisplayModel &display)
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
    QLineEdit *lcd = makeField(panel, QStringLiteral("Text2"), QString(), QRect(2400, 360, 5535, 1335), new DisplayFace(&display, panel));
    lcd->setAccessibleName(QStringLiteral("Display"));
    const QColor orange(255, 128, 0);
    paintField(lcd, orange, Qt::black);

    const QString lcd7 = LcdFont::family();
    for (const FieldLayout &item : kFieldLayout) {
        const QString name = DisplayModel::objectNameOf(item.field);
        QLineEdit *edit = makeField(panel, name, display.text(item.field),
                                    QRect(item.left, item.top, item.width, item.height));
        edit->setAccessibleName(DisplayWords::fieldName(item.field));
        paintField(edit, orange, Qt::black);
        edit->setFont(panelFont(item.family ? QString::fromLatin1(item.family) : lcd7, item.points, true));
        Qt::Alignment align = Qt::AlignHCenter;
        if (item.field == DisplayModel::FREQ)
            align = Qt::AlignRight;
        else if (item.field == DisplayModel::ACTIVEBANK)
            align = Qt::AlignLeft;
        edit->setAlignment(align | Qt::AlignVCenter);
        fields[item.field] = edit;
    }

    status = makeField(panel, QStringLiteral("StatusLine"), display.statusLine(),
                         QRect(1920, 4320, 7575, 375));
    status->setAccessibleName(QStringLiteral("Status line"));
    status->setFrame(true);
    status->setTextMargins(0, 0, 0, 0);
    paintField(status, Qt::black, Qt::white);
    status->setFont(panelFont(QStringLiteral("MS Sans Serif"), 9.75, false));
    status->setAlignment(Qt::AlignCenter);

    const QColor darkGrey(64, 64, 64);
    for (const LabelledLayout &item : kLegendLayout) {
        QLineEdit *legend = makeField(panel, QLatin1String(item.name), QLatin1String(item.text), item.twips());
        legend->setAccessibleName(QLatin1String(item.text).trimmed());
        paintField(legend, darkGrey, Qt::white);
        legend->setFont(panelFont(QStringLiteral("MS Sans Serif"), 9.75, true));
        legend->setAlignment(Qt::AlignCenter);
        if (*item.toolTip)
            legend->setToolTip(QLatin1String(item.toolTip));
    }

    // The knobs' captions stand on dark fields like the legends; the panel's
    // own captions are printed on it.
    for (const CaptionLayout &c : kCaptionLayout) {
        if (c.onField) {
            QLineEdit *edit = makeField(panel, QLatin1String(c.name), QLatin1String(c.text), c.twips);
            // The knobs' signs say which way they turn.
            static const QHash<QString, QString> signs = {
                {QStringLiteral("Text20"), QStringLiteral("Volume down")},
                {QStringLiteral("Text22"), QStringLiteral("Volume up")},
                {QStringLiteral("Text21"), QStringLiteral("Squelch down")},
                {QStringLiteral("Text19"), QStringLiteral("Squelch up")},
            };
            edit->setAccessibleName(signs.value(QLatin1String(c.name), QLatin1String(c.text).trimmed()));
            paintField(edit, darkGrey, Qt::white);
            edit->setFont(panelFont(c.points > 10 ? QStringLiteral("Arial") : QStringLiteral("MS Sans Serif"),
                                    c.points, true));
            edit->setAlignment(Qt::AlignCenter);
            continue;
        }
        auto *label = new QLabel(QLatin1String(c.text), panel);
        label->setObjectName(QLatin1String(c.name));
        label->setFont(panelFont(QStringLiteral("Arial"), c.points, true));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(px(c.twips));
    }

    for (const LabelledLayout &item : kButtonLayout) {
        QPushButton *button = makeButton(panel, QLatin1String(item.name), QString::fromUtf8(item.text),
                                         QLatin1String(item.toolTip), item.twips());
        button->setFont(panelFont(QStringLiteral("Arial"), 8.25, true));
    }
    buttons.value(QStringLiteral("btnMUTE"))
        ->setStyleSheet(QStringLiteral("QPushButton { background: rgb(200,0,0); color: white; border: 1px solid rgb(110,0,0); "
                                       "border-radius: 2px; } QPushButton:pressed { background: rgb(150,0,0); }"));
}

