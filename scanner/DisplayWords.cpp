#include "scanner/DisplayWords.h"

#include <QRegularExpression>
#include <QStringList>

namespace DisplayWords {

namespace {

using F = DisplayModel::Field;

bool shows(const DisplayModel &d, F field)
{
    return !d.text(field).trimmed().isEmpty();
}

bool trunked(const DisplayModel &d)
{
    return d.text(DisplayModel::TRUNKTYPE).contains(QLatin1String("TRUNK"));
}

QString mode(const DisplayModel &d)
{
    QString words;
    if (shows(d, DisplayModel::SEARCH))
        words = QStringLiteral("search");
    else if (shows(d, DisplayModel::MANUAL))
        words = QStringLiteral("manual");
    else if (shows(d, DisplayModel::SCAN))
        words = QStringLiteral("scan");
    if (trunked(d))
        words = words.isEmpty() ? QStringLiteral("trunk") : QStringLiteral("trunk ") + words;
    return words;
}

// "154.8350" is said "154.835 megahertz"; anything else as it stands.
QString frequency(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\d{1,4}\\.\\d+$"));
    QString t = text.trimmed();
    if (!number.match(t).hasMatch())
        return t;
    while (t.endsWith(QLatin1Char('0')) && !t.endsWith(QLatin1String(".0")))
        t.chop(1);
    return t + QStringLiteral(" megahertz");
}

QString spacedLetters(const QString &text)
{
    QString out;
    for (QChar c : text.trimmed()) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += c;
    }
    return out;
}

} // namespace

QString fieldName(DisplayModel::Field field)
{
    switch (field) {
    case DisplayModel::BANK: return QStringLiteral("Bank");
    case DisplayModel::BANKNUM: return QStringLiteral("Bank numbers");
    case DisplayModel::ACTIVEBANK: return QStringLiteral("Active banks");
    case DisplayModel::TRUNKTYPE: return QStringLiteral("Trunk type");
    case DisplayModel::SVC_PUB: return QStringLiteral("Public service");
    case DisplayModel::SVC_POLICE: return QStringLiteral("Police service");
    case DisplayModel::SVC_FIRE_EMG: return QStringLiteral("Fire and emergency service");
    case DisplayModel::SVC_AIR: return QStringLiteral("Air service");
    case DisplayModel::SVC_WX: return QStringLiteral("Weather service");
    case DisplayModel::ALERT: return QStringLiteral("Alert");
    case DisplayModel::SHIFT: return QStringLiteral("Shift");
    case DisplayModel::CHAN: return QStringLiteral("Channel");
    case DisplayModel::CHANLBL: return QStringLiteral("Channel label");
    case DisplayModel::FREQ: return QStringLiteral("Frequency or talkgroup");
    case DisplayModel::MHZ: return QStringLiteral("Megahertz");
    case DisplayModel::ModMode: return QStringLiteral("Modulation");
    case DisplayModel::MUTE: return QStringLiteral("Mute");
    case DisplayModel::SCAN: return QStringLiteral("Scan");
    case DisplayModel::MANUAL: return QStringLiteral("Manual");
    case DisplayModel::PRI: return QStringLiteral("Priority");
    case DisplayModel::HOLD: return QStringLiteral("Hold");
    case DisplayModel::DELAY: return QStringLiteral("Delay");
    case DisplayModel::DATA: return QStringLiteral("Data");
    case DisplayModel::LOCKOUT: return QStringLiteral("Lockout");
    case DisplayModel::SRCHDN: return QStringLiteral("Search down");
    case DisplayModel::SEARCH: return QStringLiteral("Search");
    case DisplayModel::SRCHUP: return QStringLiteral("Search up");
    case DisplayModel::FieldCount: break;
    }
    return {};
}

QString describe(const DisplayModel &d)
{
    QStringList parts;
    const QString chan = d.text(DisplayModel::CHAN).trimmed();
    const QString freq = d.text(DisplayModel::FREQ).trimmed();
    if (trunked(d) && !freq.isEmpty()) {
        parts << QStringLiteral("Talkgroup ") + freq;
    } else {
        bool numbered = false;
        const int number = chan.toInt(&numbered);
        if (!chan.isEmpty())
            parts << QStringLiteral("Channel ") + (numbered ? QString::number(number) : chan);
        // Between channels the scanner prints its mode there; that is said once, below.
        if (!freq.isEmpty() && freq.compare(mode(d), Qt::CaseInsensitive) != 0)
            parts << frequency(freq);
    }
    const QString modulation = d.text(DisplayModel::ModMode).trimmed();
    if (!modulation.isEmpty() && !modulation.contains(QLatin1Char('/')))
        parts << spacedLetters(modulation);
    const struct { F field; const char *word; } flags[] = {
        {DisplayModel::PRI, "priority"}, {DisplayModel::HOLD, "hold"},   {DisplayModel::DELAY, "delay"},
        {DisplayModel::LOCKOUT, "locked out"}, {DisplayModel::DATA, "data"}, {DisplayModel::ALERT, "alert"},
    };
    for (const auto &f : flags) {
        if (shows(d, f.field))
            parts << QLatin1String(f.word);
    }
    const QString m = mode(d);
    if (!m.isEmpty())
        parts << m;
    if (d.text(DisplayModel::MUTE).contains(QLatin1String("ON")))
        parts << QStringLiteral("muted");
    if (!parts.isEmpty())
        parts.first()[0] = parts.first().at(0).toUpper();
    return parts.join(QStringLiteral(", "));
}

QString announcementKey(const DisplayModel &d)
{
    // A search runs through frequencies; it is said once, not per step.
    const QString m = mode(d);
    if (m.endsWith(QLatin1String("search")) && !trunked(d))
        return m;
    if (trunked(d))
        return m + QLatin1Char('|') + d.text(DisplayModel::FREQ).trimmed();
    return m + QLatin1Char('|') + d.text(DisplayModel::CHAN).trimmed() + QLatin1Char('|')
           + d.text(DisplayModel::FREQ).trimmed();
}

} // namespace DisplayWords
