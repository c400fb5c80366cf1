#include "alerts/AlertRule.h"

#include "alerts/IdList.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcAlerts, "orvendal.alerts")

QString AlertEvent::text() const
{
    QString out;
    if (!talkgroup.isEmpty()) {
        out = QStringLiteral("Talkgroup %1").arg(talkgroup);
    } else {
        out = QStringLiteral("Channel %1").arg(channel);
        if (!frequency.isEmpty())
            out += QStringLiteral(" (%1 MHz)").arg(frequency);
    }
    const QStringList names = QStringList{name, city}.filter(QRegularExpression(QStringLiteral("\\S")));
    if (!names.isEmpty())
        out += QStringLiteral(": ") + names.join(QStringLiteral(", "));
    return out;
}

QString AlertRule::matchWord(Match match)
{
    switch (match) {
    case Match::Talkgroups:
        return QStringLiteral("talkgroups");
    case Match::Channels:
        return QStringLiteral("channels");
    case Match::Name:
        break;
    }
    return QStringLiteral("name");
}

std::optional<AlertRule::Match> AlertRule::matchFromWord(const QString &word)
{
    for (Match m : {Match::Talkgroups, Match::Channels, Match::Name}) {
        if (matchWord(m) == word)
            return m;
    }
    return std::nullopt;
}

const QStringList &AlertRule::placeholders()
{
    static const QStringList list = {QStringLiteral("{id}"), QStringLiteral("{name}"), QStringLiteral("{channel}"),
                                     QStringLiteral("{frequency}")};
    return list;
}

QString AlertRule::resolveProgram(const QString &program)
{
    if (program.isEmpty())
        return {};
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
}

namespace {

// "RIFF", a length, "WAVE": anything else QSoundEffect cannot play.
bool looksLikeWav(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

} // namespace

QString AlertRule::problem() const
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Give the rule a name.");
    QString error;
    switch (match) {
    case Match::Talkgroups:
    case Match::Channels:
        if (!IdList::parse(matchText, match == Match::Channels ? IdList::Kind::Channels : IdList::Kind::Talkgroups,
                           &error))
            return error;
        break;
    case Match::Name:
        if (matchText.trimmed().isEmpty())
            return QStringLiteral("Give the text the name must contain.");
        break;
    }
    if (!notify && !sound && !run)
        return QStringLiteral("Choose at least one action: a notification, a sound or a program.");
    if (sound && !soundFile.isEmpty()) {
        if (!QFileInfo(soundFile).isFile())
            return QStringLiteral("The sound file %1 does not exist.").arg(soundFile);
        if (!looksLikeWav(soundFile))
            return QStringLiteral("The sound file %1 is not a WAV file.").arg(soundFile);
    }
    if (run) {
        if (program.trimmed().isEmpty())
            return QStringLiteral("Choose the program to run.");
        if (resolveProgram(program).isEmpty()) {
            return QFileInfo::exists(program) ? QStringLiteral("%1 is not a program that can be run.").arg(program)
                                              : QStringLiteral("The program %1 does not exist.").arg(program);
        }
        static const QRegularExpression placeholder(QStringLiteral("\\{[A-Za-z_]+\\}"));
        for (const QString &argument : arguments) {
            for (auto it = placeholder.globalMatch(argument); it.hasNext();) {
                const QString found = it.next().captured();
                if (!placeholders().contains(found))
                    return QStringLiteral("The argument \"%1\" has the unknown placeholder %2; the placeholders are %3.")
                        .arg(argument, found, placeholders().join(QStringLiteral(", ")));
            }
        }
    }
    if (cooldownSecs < 0 || cooldownSecs > kMaxCooldownSecs)
        return QStringLiteral("The cooldown must be 0 to %1 seconds.").arg(kMaxCooldownSecs);
    return {};
}

QStringList AlertRule::expand(const QStringList &arguments, const AlertEvent &event)
{
    const QString values[] = {event.talkgroup, event.name, event.channel, event.frequency};
    QStringList out;
    out.reserve(arguments.size());
    for (const QString &argument : arguments) {
        QString expanded;
        qsizetype i = 0;
        while (i < argument.size()) {
            bool replaced = false;
            if (argument.at(i) == QLatin1Char('{')) {
                for (qsizetype p = 0; p < placeholders().size(); ++p) {
                    if (QStringView(argument).mid(i).startsWith(placeholders().at(p))) {
                        expanded += values[p];
                        i += placeholders().at(p).size();
                        replaced = true;
                        break;
                    }
                }
            }
            if (!replaced)
                expanded += argument.at(i++);
        }
        out << expanded;
    }
    return out;
}
