#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A list of talkgroup IDs or channel numbers as the user writes it: entries
// separated by commas, each a number ("1234"), a range with the lower end
// first ("2000-2100"), or, for talkgroups, an ID in double quotes matched as
// it is written ("\"100-12\"", for fleet-subfleet IDs with a dash of their
// own). Numbers compare by value, so "12" also matches the ID "012".
class IdList
{
public:
    enum class Kind { Talkgroups, Channels };

    // The list, or none with *error saying which entry is wrong and why.
    static std::optional<IdList> parse(const QString &text, Kind kind, QString *error);

    bool contains(const QString &id) const;

private:
    struct Range
    {
        quint64 low;
        quint64 high;
    };
    QList<Range> m_ranges;
    QStringList m_exact;
};
