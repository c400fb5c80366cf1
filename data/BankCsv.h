#pragma once

#include "data/CsvTable.h"
#include "data/ImportPlan.h"

#include <QSet>
#include <QString>
#include <QStringList>

class ChannelDatabase;

// The bank tables as CSV, in the column layout memory programmers exchange
// channel lists in, followed by our own columns under their table names:
//
//   Location     absolute channel 1..1000 (CHANNEL)
//   Name         COMPANY_NAME, or CALLSIGN where that is empty (on import it
//                fills COMPANY_NAME when the file has no COMPANY_NAME column)
//   Frequency    MHz with six decimals (FREQUENCY and sFREQ); 0 for an
//                empty channel, nothing for a row without a frequency
//   Mode         "AM" from 108 to 137 MHz, "FM" elsewhere (ignored on import)
//   Skip         "S" for a locked-out channel (LOCKOUT)
//   Comment      NOTES
//   the layout's other columns (Duplex, Offset, Tone, ...) are written empty;
//   then TRUNKED, DELAY, PRIORITY (0 or 1), CALLSIGN, COMPANY_NAME, RS, CITY,
//   COUNTY, STATE, LATITUDE, LONGITUDE.
//
// A NULL is written as an empty field and an empty text as "", so export,
// wiping the tables and import give the same tables again.
//
// Import: columns in any order and any case, unknown ones listed and
// ignored; only Frequency is required. A line that can be taken replaces the
// channel's first row in the columns the file has (a new row gets NULL in
// the others) or adds a row. Frequencies follow the bank editor's rule;
// TRUNKED, DELAY and PRIORITY take what the editor takes (0/1, true/false,
// yes/no); Skip is "S" (LOCKOUT 1), "P" (a priority channel: LOCKOUT 0 and
// PRIORITY 1) or empty (LOCKOUT 0). Nothing is written until the plan is
// applied.
//
// For the command line:
//   QString error;
//   if (!BankCsv::exportTo(db, "banks.csv", &rows, &error)) ...
//   ImportPlan plan = BankCsv::plan(db, "banks.csv", BankCsv::Placement::ByLocation, 1);
//   fputs(plan.summaryText()), then plan.apply(db, &error) with --yes;
//   plan.isUsable(), plan.refusedCount() and plan.rowCount() give the status.
class BankCsv
{
public:
    enum class Placement {
        ByLocation, // each line to the channel in its Location column
        FileOrder,  // line after line from a first channel on, across banks
    };

    // The header of an export.
    static const QStringList &header();

    // Writes every row of the 20 bank tables, bank by bank in channel order;
    // *rows says how many. False with *error (and the file untouched) on
    // failure.
    static bool exportTo(ChannelDatabase &db, const QString &path, int *rows, QString *error);
    static bool exportBytes(ChannelDatabase &db, QByteArray *out, int *rows, QString *error);

    // Reads the file and plans its import in one step.
    static ImportPlan plan(ChannelDatabase &db, const QString &path, Placement placement, int firstChannel);

    // A file read once and planned as often as the user changes the
    // placement (the import dialog).
    bool read(const QString &path);
    bool readBytes(QByteArrayView bytes);
    // The channels that hold a row now (add or replace); false with *error.
    bool loadExisting(ChannelDatabase &db, QString *error);
    ImportPlan plan(Placement placement, int firstChannel) const;
    bool hasLocation() const { return m_table.has(QStringLiteral("Location")); }

private:
    struct Values;
    bool checkColumns();
    bool parseLine(const CsvTable::Row &row, Values *values, QString *reason) const;

    // The file's columns by index (-1: not in the file).
    struct Columns
    {
        int frequency = -1;
        int skip = -1;
        int name = -1;
        int comment = -1;
        int company = -1;
        QList<int> flags; // kFlagColumns, in order
        QList<int> texts; // kTextColumns, in order
    };

    CsvTable m_table;
    Columns m_columns;
    QString m_error;
    QSet<int> m_existing;
};
