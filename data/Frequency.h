#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// A channel frequency, held exactly in ten-thousandths of a megahertz (the
// scanner's own resolution). One rule for what counts as a frequency, shared
// by the bank editor and restore: above 0, at most 1300 MHz, at most four
// decimals.
class Frequency
{
public:
    static constexpr qint64 kUnitsPerMhz = 10000;
    static constexpr qint64 kMaxUnits = 1300 * kUnitsPerMhz;

    // A typed frequency ("460.125", " 460.1250 ", "1296"); no value when it
    // breaks the rule or is no plain decimal number.
    static std::optional<Frequency> fromText(const QString &text);
    // A stored FREQUENCY; no value when it breaks the rule.
    static std::optional<Frequency> fromMhz(double mhz);

    // What a bank row asks a restore to type: the frequency the editor shows
    // (FREQUENCY), or sFREQ where FREQUENCY is NULL. The scanner's text, or
    // "000.000" for an empty channel (FREQUENCY 0 or sFREQ "000.000"), or a
    // null value when the row holds nothing that could be typed.
    static QVariant restoreText(const QVariant &frequency, const QVariant &sFreq);

    qint64 units() const { return m_units; }
    double mhz() const { return double(m_units) / kUnitsPerMhz; }
    // As the scanner gives it and the backup stores it in sFREQ: "ddd.dddd"
    // below 1000 MHz ("045.1250", "154.4150"), "dddd.dddd" above.
    QString scannerText() const;

private:
    explicit Frequency(qint64 units) : m_units(units) {}
    qint64 m_units;
};
