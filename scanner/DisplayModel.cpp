#include "scanner/DisplayModel.h"

#include <QMetaEnum>

const QString DisplayModel::kBankRow = QStringLiteral("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20");
const QString DisplayModel::kEnDashRow = QStringLiteral(
    " \u2013 \u2013 \u2013 \u2013 \u2013 \u2013 \u2013 \u2013 \u2013 \u2013\u2013 \u2013\u2013 \u2013\u2013 "
    "\u2013\u2013 \u2013\u2013 \u2013\u2013 \u2013\u2013 \u2013\u2013 \u2013\u2013 \u2013\u2013 \u2013\u2013");
const QString DisplayModel::kSearchDown = QStringLiteral("\u2193");
const QString DisplayModel::kSearchUp = QStringLiteral("\u2191");
const QString DisplayModel::kStatusDesignText =
    QStringLiteral("This is the STATUS LINE.  Updated system messages will appear here.");

QString DisplayModel::objectNameOf(Field field)
{
    return QStringLiteral("tb") + QLatin1String(QMetaEnum::fromType<Field>().valueToKey(field));
}

QString DisplayModel::muteWord(MuteSetting setting)
{
    switch (setting) {
    case MuteSetting::Off: return QStringLiteral("MUTE OFF");
    case MuteSetting::On: return QStringLiteral("MUTE ON");
    case MuteSetting::Auto: break;
    }
    return QStringLiteral("MUTE AUTO");
}

QString DisplayModel::modulationText(Modulation modulation)
{
    switch (modulation) {
    case Modulation::NFM: return QStringLiteral("   NFM");
    case Modulation::WFM: return QStringLiteral("       WFM");
    case Modulation::AM: break;
    }
    return QStringLiteral("AM");
}

QString DisplayModel::designText(Field field)
{
    switch (field) {
    case BANK: return QStringLiteral("BANK");
    case BANKNUM: return kBankRow;
    case ACTIVEBANK: return kEnDashRow;
    case TRUNKTYPE: return QStringLiteral("ME TRUNK");
    case MUTE: return muteWord(MuteSetting::Auto);
    case SVC_PUB: return QStringLiteral("PUB");
    case SVC_POLICE: return QStringLiteral("POLICE");
    case SVC_FIRE_EMG: return QStringLiteral("FIRE/EMG");
    case SVC_AIR: return QStringLiteral("AIR");
    case SVC_WX: return QStringLiteral("WX");
    case ALERT: return QStringLiteral("ALERT");
    case SHIFT: return QStringLiteral("SFT");
    case CHAN: return QStringLiteral("1000");
    case CHANLBL: return QStringLiteral("CH");
    case FREQ: return QStringLiteral("VKS 4410 ");
    case MHZ: return QStringLiteral("MHz");
    case ModMode: return QStringLiteral("AM/N/WFM");
    case SCAN: return QStringLiteral("SCAN");
    case MANUAL: return QStringLiteral("MANUAL");
    case PRI: return QStringLiteral("PRI");
    case HOLD: return QStringLiteral("HOLD");
    case DELAY: return QStringLiteral("DELAY");
    case DATA: return QStringLiteral("DATA");
    case LOCKOUT: return QStringLiteral("L/O");
    case SRCHDN: return kSearchDown;
    case SEARCH: return QStringLiteral("SEARCH");
    case SRCHUP: return kSearchUp;
    case FieldCount: break;
    }
    return {};
}

DisplayModel::DisplayModel(QObject *parent)
    : BatchedModel(parent)
    , m_status(kStatusDesignText)
{
    for (int f = 0; f < FieldCount; ++f)
        m_texts[f] = designText(Field(f));
}

void DisplayModel::setText(Field field, const QString &text)
{
    if (m_texts[field] == text)
        return;
    m_texts[field] = text;
    markChanged();
    emit textChanged(field, text);
}

void DisplayModel::blank()
{
    for (int f = 0; f < FieldCount; ++f)
        setText(Field(f), QString());
}

void DisplayModel::setStatusLine(const QString &text)
{
    if (m_status == text)
        return;
    m_status = text;
    emit statusLineChanged(text);
}

void DisplayModel::setProblemLine(const QString &text)
{
    if (text.isEmpty()) {
        if (!m_problem.isEmpty() && m_status == m_problem)
            setStatusLine(m_beforeProblem);
        m_problem.clear();
        return;
    }
    if (m_problem.isEmpty() || m_status != m_problem)
        m_beforeProblem = m_status;
    m_problem = text;
    setStatusLine(text);
}

void DisplayModel::showAllSegments()
{
    setText(BANK, designText(BANK));
    setText(BANKNUM, kBankRow);
    setText(TRUNKTYPE, QStringLiteral("ME TRUNK"));
    setText(ACTIVEBANK, kEnDashRow);
    for (Field f : {SVC_PUB, SVC_POLICE, SVC_FIRE_EMG, SVC_AIR, SVC_WX, ALERT})
        setText(f, designText(f));
    setText(SHIFT, QStringLiteral("SFT"));
    setText(SHIFT, QString());
    setText(CHAN, QStringLiteral("1000"));
    setText(CHANLBL, QStringLiteral("CH"));
    setText(FREQ, QStringLiteral("VKS 4410 "));
    setText(MHZ, QStringLiteral("MHz"));
    setText(MUTE, muteWord(MuteSetting::On));
    for (Field f : {SCAN, MANUAL, PRI, HOLD, DELAY, DATA, LOCKOUT, SRCHDN, SRCHUP, SEARCH})
        setText(f, designText(f));
}

void DisplayModel::showScanScreen()
{
    showScanTemplate();
    setText(DELAY, QStringLiteral("DELAY"));
}

void DisplayModel::showTrunkScreen()
{
    setText(BANK, QString());
    setText(TRUNKTYPE, QStringLiteral("M  TRUNK"));
    setText(ACTIVEBANK, kEnDashRow);
    setText(FREQ, QStringLiteral("     ----- "));
    setText(SEARCH, QStringLiteral("SEARCH"));
}

void DisplayModel::showSearchScreen()
{
    showSearchTemplate();
}

void DisplayModel::showServiceScreen()
{
    setText(ACTIVEBANK, QStringLiteral("_    _        _     _  _"));
    for (Field f : {SVC_PUB, SVC_POLICE, SVC_FIRE_EMG, SVC_AIR, SVC_WX})
        setText(f, designText(f));
    setText(FREQ, QStringLiteral(" SERVICE"));
    setText(MHZ, QStringLiteral("MHz"));
    setSearchArrows();
}

void DisplayModel::clearDisplay(bool shiftOn)
{
    // The mute word and the alert indicator are not part of the clear.
    for (int f = 0; f < FieldCount; ++f) {
        if (f != MUTE && f != ALERT)
            setText(Field(f), f == SHIFT && shiftOn ? QStringLiteral("SFT") : QString());
    }
}

void DisplayModel::showScanTemplate()
{
    setText(BANK, QStringLiteral("BANK"));
    setText(BANKNUM, kBankRow);
    setText(CHANLBL, QStringLiteral("CH"));
    setText(FREQ, QStringLiteral(" SCAN  "));
    setText(MHZ, QStringLiteral("MHz"));
    setText(SCAN, QStringLiteral("SCAN"));
}

void DisplayModel::showManualTemplate()
{
    setText(BANK, QStringLiteral("BANK"));
    setText(BANKNUM, kBankRow);
    setText(CHANLBL, QStringLiteral("CH"));
    setText(MHZ, QStringLiteral("MHz"));
    setText(MANUAL, QStringLiteral("MANUAL"));
}

void DisplayModel::showSearchTemplate()
{
    setText(FREQ, QStringLiteral(" 1300.000"));
    setText(MHZ, QStringLiteral("MHz"));
    setText(SCAN, QStringLiteral("SCAN"));
    setSearchArrows();
}

void DisplayModel::setSearchArrows()
{
    setText(SRCHDN, kSearchDown);
    setText(SEARCH, QStringLiteral("SEARCH"));
    setText(SRCHUP, kSearchUp);
}

void DisplayModel::showTrunkSearchTemplate()
{
    setText(BANK, QString());
    setText(BANKNUM, kBankRow);
    setText(TRUNKTYPE, QStringLiteral("  TRUNK"));
    setText(FREQ, QStringLiteral("    -- --- "));
    setText(SEARCH, QStringLiteral("SEARCH"));
}
