#include "data/BankCsv.h"

#include "data/ChannelDatabase.h"
#include "data/EditorModels.h"
#include "data/ChannelRecord.h"
#include "data/CsvWriter.h"
#include "data/Frequency.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Our own columns after the common layout, in table order; each is a column
// of the bank tables under the same name.
const QStringList kFlagColumns = {QStringLiteral("TRUNKED"), QStringLiteral("DELAY"), QStringLiteral("PRIORITY")};
const QStringList kTextColumns = {QStringLiteral("CALLSIGN"), QStringLiteral("COMPANY_NAME"), QStringLiteral("RS"),
                                  QStringLiteral("CITY"),     QStringLiteral("COUNTY"),       QStringLiteral("STATE"),
                                  QStringLiteral("LATITUDE"), QStringLiteral("LONGITUDE")};

QString flagText(const QVariant &v)
{
    return v.isNull() ? QString() : QString::number(v.toInt() != 0 ? 1 : 0);
}

// The Frequency column of a row: six decimals, "0.000000" for an empty
// channel, nothing when the row has no frequency. A value that is no
// frequency is written as it stands, so that the import names it.
QString frequencyText(const QVariant &mhz, const QVariant &sFreq, qint64 *units)
{
    *units = -1;
    const QVariant text = Frequency::restoreText(mhz, sFreq);
    if (text.isNull())
        return mhz.isNull() ? CsvTable::fieldOf(sFreq) : CsvTable::fieldOf(mhz);
    if (text.toString() == ChannelRecord::kEmpty) {
        *units = 0;
        return QStringLiteral("0.000000");
    }
    const std::optional<Frequency> f = Frequency::fromText(text.toString());
    *units = f->units();
    return QStringLiteral("%1.%2")
        .arg(f->units() / Frequency::kUnitsPerMhz)
        .arg(f->units() % Frequency::kUnitsPerMhz * 100, 6, 10, QLatin1Char('0'));
}

QString bankGroup(int bank)
{
    return QStringLiteral("Bank %1").arg(bank);
}

} // namespace

// A line's values, whatever channel it is placed on.
struct BankCsv::Values
{
    QStringList columns;
    QVariantList values;
};

const QStringList &BankCsv::header()
{
    static const QStringList columns = QStringList{
        QStringLiteral("Location"),  QStringLiteral("Name"),         QStringLiteral("Frequency"),
        QStringLiteral("Duplex"),    QStringLiteral("Offset"),       QStringLiteral("Tone"),
        QStringLiteral("rToneFreq"), QStringLiteral("cToneFreq"),    QStringLiteral("DtcsCode"),
        QStringLiteral("DtcsPolarity"), QStringLiteral("RxDtcsCode"), QStringLiteral("CrossMode"),
        QStringLiteral("Mode"),      QStringLiteral("TStep"),        QStringLiteral("Skip"),
        QStringLiteral("Power"),     QStringLiteral("Comment")} + kFlagColumns + kTextColumns;
    return columns;
}

bool BankCsv::exportBytes(ChannelDatabase &db, QByteArray *out, int *rows, QString *error)
{
    *rows = 0;
    if (!db.open(error))
        return false;
    const QStringList &columns = header();
    CsvWriter::appendRecord(out, columns);
    const qsizetype mode = columns.indexOf(QStringLiteral("Mode"));
    const qsizetype skip = columns.indexOf(QStringLiteral("Skip"));
    const qsizetype comment = columns.indexOf(QStringLiteral("Comment"));
    const qsizetype flags = columns.indexOf(kFlagColumns.front());
    const qsizetype texts = columns.indexOf(kTextColumns.front());
    // The query's columns: these five, then the flags, then the texts.
    enum { Channel, Mhz, SFreq, Lockout, Notes, FirstFlag };
    const int firstText = FirstFlag + int(kFlagColumns.size());
    const int callsign = firstText + int(kTextColumns.indexOf(QStringLiteral("CALLSIGN")));
    const int company = firstText + int(kTextColumns.indexOf(QStringLiteral("COMPANY_NAME")));

    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        if (!q.exec(QStringLiteral("SELECT CHANNEL, FREQUENCY, sFREQ, LOCKOUT, NOTES, %1, %2 FROM %3 "
                                   "ORDER BY CHANNEL, rowid")
                        .arg(kFlagColumns.join(QStringLiteral(", ")), kTextColumns.join(QStringLiteral(", ")),
                             ChannelDatabase::bankTableName(bank)))) {
            *error = q.lastError().text();
            return false;
        }
        while (q.next()) {
            // The layout's columns we have no data for stay empty.
            QStringList fields(columns.size());
            qint64 units = -1;
            fields[0] = CsvTable::fieldOf(q.value(Channel));
            const QString name = CsvTable::fieldOf(q.value(company));
            fields[1] = name.isEmpty() ? CsvTable::fieldOf(q.value(callsign)) : name;
            fields[2] = frequencyText(q.value(Mhz), q.value(SFreq), &units);
            if (units >= 0)
                fields[mode] = units >= 108 * Frequency::kUnitsPerMhz && units <= 137 * Frequency::kUnitsPerMhz
                    ? QStringLiteral("AM")
                    : QStringLiteral("FM");
            if (!q.value(Lockout).isNull())
                fields[skip] = q.value(Lockout).toInt() != 0 ? QStringLiteral("S") : QLatin1String("");
            fields[comment] = CsvTable::fieldOf(q.value(Notes));
            for (int i = 0; i < kFlagColumns.size(); ++i)
                fields[flags + i] = flagText(q.value(FirstFlag + i));
            for (int i = 0; i < kTextColumns.size(); ++i)
                fields[texts + i] = CsvTable::fieldOf(q.value(firstText + i));
            CsvWriter::appendRecord(out, fields);
            ++*rows;
        }
    }
    return true;
}

bool BankCsv::exportTo(ChannelDatabase &db, const QString &path, int *rows, QString *error)
{
    QByteArray bytes;
    if (!exportBytes(db, &bytes, rows, error)
        || !CsvWriter::save(path, bytes, error, CsvWriter::databaseFiles(db.path())))
        return false;
    qCInfo(lcCsv) << "exported" << *rows << "channel rows to" << path;
    return true;
}

bool BankCsv::read(const QString &path)
{
    m_error.clear();
    return m_table.read(path, &m_error) && checkColumns();
}

bool BankCsv::readBytes(QByteArrayView bytes)
{
    m_error.clear();
    return m_table.readBytes(bytes, &m_error) && checkColumns();
}

bool BankCsv::checkColumns()
{
    // Found once: a file may hold millions of lines.
    m_columns.frequency = m_table.column(QStringLiteral("Frequency"));
    m_columns.skip = m_table.column(QStringLiteral("Skip"));
    m_columns.name = m_table.column(QStringLiteral("Name"));
    m_columns.comment = m_table.column(QStringLiteral("Comment"));
    m_columns.company = m_table.column(QStringLiteral("COMPANY_NAME"));
    m_columns.flags.clear();
    for (const QString &flag : kFlagColumns)
        m_columns.flags << m_table.column(flag);
    m_columns.texts.clear();
    for (const QString &text : kTextColumns)
        m_columns.texts << m_table.column(text);
    if (m_columns.frequency < 0) {
        m_error = QStringLiteral("the file has no Frequency column");
        return false;
    }
    return true;
}

bool BankCsv::loadExisting(ChannelDatabase &db, QString *error)
{
    m_existing.clear();
    if (!db.open(error))
        return false;
    // Asked as the import will look each channel up: in its own bank's table,
    // by the same comparison, so that "to replace" means a row is replaced.
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        QSqlQuery q(db.database());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE CHANNEL = ? LIMIT 1")
                           .arg(ChannelDatabase::bankTableName(bank)))) {
            *error = q.lastError().text();
            return false;
        }
        for (int c = 1; c <= ChannelDatabase::kChannelsPerBank; ++c) {
            const int channel = (bank - 1) * ChannelDatabase::kChannelsPerBank + c;
            q.addBindValue(channel);
            if (!q.exec()) {
                *error = q.lastError().text();
                return false;
            }
            if (q.next())
                m_existing.insert(channel);
            q.finish();
        }
    }
    return true;
}

bool BankCsv::parseLine(const CsvTable::Row &row, Values *v, QString *reason) const
{
    const Columns &c = m_columns;
    auto value = [&](int column) { return m_table.value(row, column); };
    auto take = [&](const QString &column, const QVariant &x) {
        v->columns << column;
        v->values << x;
    };
    const QString frequency = value(c.frequency);
    if (frequency.isNull()) {
        take(QStringLiteral("FREQUENCY"), QVariant());
        take(QStringLiteral("sFREQ"), QVariant());
    } else {
        // Six decimals are the layout's; past the fourth they must be nought.
        static const QRegularExpression sixDecimals(QStringLiteral("^(\\s*\\d+\\.\\d{4})0+(\\s*)$"));
        QString typed = frequency;
        typed.replace(sixDecimals, QStringLiteral("\\1\\2"));
        QVariant mhz;
        QVariant sFreq;
        if (!BankTableModel::frequencyPair(typed, &mhz, &sFreq)) {
            *reason = QStringLiteral("Frequency %1 is no frequency the scanner takes (above 0, at most 1300 MHz, "
                                     "at most four decimals)")
                          .arg(CsvTable::quoted(frequency));
            return false;
        }
        take(QStringLiteral("FREQUENCY"), mhz);
        take(QStringLiteral("sFREQ"), sFreq);
    }
    // Skip: "S" skips (locks out) the channel, "P" makes it a priority
    // channel that is scanned, empty scans it.
    bool priorityBySkip = false;
    if (c.skip >= 0) {
        const QString skip = value(c.skip);
        const QString s = skip.trimmed().toUpper();
        if (!skip.isNull() && !s.isEmpty() && s != QLatin1String("S") && s != QLatin1String("P")) {
            *reason = QStringLiteral("Skip %1 is none of S, P or empty").arg(CsvTable::quoted(skip));
            return false;
        }
        take(QStringLiteral("LOCKOUT"), skip.isNull() ? QVariant() : QVariant(s == QLatin1String("S") ? 1 : 0));
        priorityBySkip = s == QLatin1String("P");
    }
    for (int i = 0; i < kFlagColumns.size(); ++i) {
        const QString &flag = kFlagColumns.at(i);
        const bool priority = flag == QLatin1String("PRIORITY");
        if (c.flags.at(i) < 0) {
            if (priority && priorityBySkip)
                take(flag, 1);
            continue;
        }
        const QString text = value(c.flags.at(i));
        QVariant x;
        if (!text.isNull() && !BankTableModel::normalise(flag, text, &x)) {
            *reason = QStringLiteral("%1 %2 is not 0 or 1").arg(flag, CsvTable::quoted(text));
            return false;
        }
        if (priority && priorityBySkip) {
            if (!text.isNull() && x.toInt() != 1) {
                *reason = QStringLiteral("Skip \"P\" makes it a priority channel, but PRIORITY is %1")
                              .arg(CsvTable::quoted(text));
                return false;
            }
            x = 1;
        } else if (text.isNull()) {
            x = QVariant();
        }
        take(flag, x);
    }
    if (c.company < 0 && c.name >= 0)
        take(QStringLiteral("COMPANY_NAME"), CsvTable::storedOf(value(c.name)));
    if (c.comment >= 0)
        take(QStringLiteral("NOTES"), CsvTable::storedOf(value(c.comment)));
    for (int i = 0; i < kTextColumns.size(); ++i) {
        if (c.texts.at(i) >= 0)
            take(kTextColumns.at(i), CsvTable::storedOf(value(c.texts.at(i))));
    }
    return true;
}

ImportPlan BankCsv::plan(Placement placement, int firstChannel) const
{
    if (!m_error.isEmpty())
        return ImportPlan::failure(m_error);
    const int lastChannel = ChannelDatabase::kBanks * ChannelDatabase::kChannelsPerBank;
    if (placement == Placement::FileOrder && (firstChannel < 1 || firstChannel > lastChannel))
        return ImportPlan::failure(QStringLiteral("the first channel must be one of 1..%1").arg(lastChannel));
    ImportPlan plan;
    plan.setUnknownColumns(m_table.unknownColumns(header()));
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank)
        plan.addGroup(bankGroup(bank));
    for (const CsvReader::Problem &p : m_table.problems())
        plan.refuse(p.line, p.message);
    plan.countRefused(int(m_table.problemCount() - m_table.problems().size()));
    const int location = m_table.column(QStringLiteral("Location"));
    int next = firstChannel;
    QHash<int, int> lineOfChannel;
    for (const CsvTable::Row &row : m_table.rows()) {
        QString reason = m_table.shapeProblem(row);
        Values v;
        if (!reason.isEmpty() || !parseLine(row, &v, &reason)) {
            plan.refuse(row.line, reason);
            continue;
        }
        int channel = 0;
        if (placement == Placement::ByLocation) {
            const QString given = m_table.value(row, location);
            const QString text = given.trimmed();
            bool ok = false;
            channel = text.toInt(&ok);
            if (!ok || channel < 1 || channel > lastChannel) {
                const QString range = QStringLiteral("1..%1").arg(lastChannel);
                plan.refuse(row.line, text.isEmpty() ? QStringLiteral("no Location")
                                      : ok ? QStringLiteral("Location %1 is outside %2").arg(CsvTable::quoted(given), range)
                                           : QStringLiteral("Location %1 is no channel number (%2)")
                                                 .arg(CsvTable::quoted(given), range));
                continue;
            }
        } else {
            if (next > lastChannel) {
                plan.refuse(row.line, QStringLiteral("no channel left after %1").arg(lastChannel));
                continue;
            }
            channel = next++;
        }
        if (lineOfChannel.contains(channel)) {
            plan.refuse(row.line, QStringLiteral("channel %1 is given on line %2 already")
                                      .arg(channel)
                                      .arg(lineOfChannel.value(channel)));
            continue;
        }
        lineOfChannel.insert(channel, row.line);
        const int bank = ChannelDatabase::bankOfChannel(channel);
        plan.add(bankGroup(bank), ImportPlan::Row{row.line, ChannelDatabase::bankTableName(bank), QStringLiteral("CHANNEL"),
                                                  channel, v.columns, v.values, m_existing.contains(channel)});
    }
    plan.sortRefusals();
    return plan;
}

ImportPlan BankCsv::plan(ChannelDatabase &db, const QString &path, Placement placement, int firstChannel)
{
    BankCsv file;
    QString error;
    if (file.read(path) && !file.loadExisting(db, &error))
        return ImportPlan::failure(error);
    return file.plan(placement, firstChannel);
}
