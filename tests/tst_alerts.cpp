// Alert rules against a session on a fake port and a notification service
// of the test's own, on a private session bus: which rules fire and how
// often, what the notification and a program receive, and the rules that
// are refused.
#include "AlertRig.h"
#include "NotificationService.h"
#include "PrivateBus.h"
#include "alerts/AlertEngine.h"
#include "alerts/AlertProgram.h"
#include "alerts/AlertRuleStore.h"
#include "alerts/DesktopNotifier.h"
#include "alerts/IdList.h"
#include "scanner/CallTracker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>


class TestAlerts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_service.start(&error), qPrintable(error));
    }
    void init()
    {
        m_service.received.clear();
        m_service.answering = true;
    }

    void listsAndBadRulesAreRefused();
    void rightRulesFireOncePerCooldown();
    void programGetsItsArgumentsExactly();
    void notificationsNeverWait();

private:
    NotificationService m_service;
};

// Lists and ranges as written; rules that cannot work are refused with the
// reason, and a stored row this program cannot read is left alone.
void TestAlerts::listsAndBadRulesAreRefused()
{
    QString error;
    const auto ids = IdList::parse(QStringLiteral("1234, 2000 - 2100,,\"100-12\", 7"), IdList::Kind::Talkgroups, &error);
    QVERIFY2(ids, qPrintable(error));
    for (const char *in : {"1234", "2000", "2050", "2100", "100-12", "007"})
        QVERIFY2(ids->contains(QString::fromLatin1(in)), in);
    for (const char *in : {"1999", "2101", "123", "100", "12", "100-13", ""})
        QVERIFY2(!ids->contains(QString::fromLatin1(in)), in);

    const struct
    {
        const char *text;
        IdList::Kind kind;
        const char *says;
    } bad[] = {
        {"2100-2000", IdList::Kind::Talkgroups, "lower number first"},
        {"12-", IdList::Kind::Talkgroups, "not a talkgroup ID"},
        {"12a", IdList::Kind::Talkgroups, "not a talkgroup ID"},
        {"1234567890123", IdList::Kind::Talkgroups, "not a talkgroup ID"},
        {" , ", IdList::Kind::Talkgroups, "at least one"},
        {"0-5", IdList::Kind::Channels, "channels are 1 to 1000"},
        {"990-1001", IdList::Kind::Channels, "channels are 1 to 1000"},
        {"\"7\"", IdList::Kind::Channels, "not a channel"},
    };
    for (const auto &b : bad) {
        error.clear();
        QVERIFY2(!IdList::parse(QString::fromLatin1(b.text), b.kind, &error), b.text);
        QVERIFY2(error.contains(QLatin1String(b.says)), qPrintable(error));
    }

    AlertRig a;
    QFile chime(QStringLiteral(":/alerts/chime.wav")); // the bundled sound is in the program
    QVERIFY(chime.open(QIODevice::ReadOnly));
    QCOMPARE(chime.read(12).mid(8), QByteArray("WAVE"));
    QTemporaryDir dir;
    QFile notWav(dir.filePath(QStringLiteral("x.wav")));
    QVERIFY(notWav.open(QIODevice::WriteOnly) && notWav.write("hello") == 5);
    notWav.close();
    const QString script = dir.filePath(QStringLiteral("not-executable.sh"));
    QFile(script).open(QIODevice::WriteOnly);
    const auto refused = [&](AlertRule r, const QString &says) {
        QString why;
        QVERIFY(!a.engine.store()->save(&r, &why));
        QVERIFY2(why.contains(says), qPrintable(why));
        QCOMPARE(r.id, 0);
    };
    AlertRule r = rule(QStringLiteral("x"), AlertRule::Match::Talkgroups, QStringLiteral("300-200"), 60);
    refused(r, QStringLiteral("goes downwards"));
    r.matchText = QStringLiteral("1");
    r.name = QStringLiteral("  ");
    refused(r, QStringLiteral("Give the rule a name"));
    r.name = QStringLiteral("x");
    r.notify = false;
    refused(r, QStringLiteral("at least one action"));
    r.sound = true;
    r.soundFile = dir.filePath(QStringLiteral("missing.wav"));
    refused(r, QStringLiteral("does not exist"));
    r.soundFile = notWav.fileName();
    refused(r, QStringLiteral("not a WAV file"));
    r.sound = false;
    r.run = true;
    refused(r, QStringLiteral("Choose the program"));
    r.program = dir.filePath(QStringLiteral("gone"));
    refused(r, QStringLiteral("The program ") + r.program + QStringLiteral(" does not exist"));
    r.program = script;
    refused(r, QStringLiteral("not a program that can be run"));
    r.program = QStringLiteral("true");
    r.arguments = {QStringLiteral("{id}"), QStringLiteral("{talkgroup}")};
    refused(r, QStringLiteral("unknown placeholder {talkgroup}"));
    r.arguments = {QStringLiteral("{id}"), QStringLiteral("{\"json\": 1}")};
    r.cooldownSecs = -1;
    refused(r, QStringLiteral("cooldown"));

    // The one that can work is stored and read back as it was.
    r.cooldownSecs = 5;
    r.name = QStringLiteral("  Pager  ");
    QVERIFY2(a.engine.store()->save(&r, &error), qPrintable(error));
    QVERIFY(r.id > 0);
    QList<AlertRule> rules;
    QStringList unreadable;
    ChannelDatabase db(a.rig.databasePath(), QStringLiteral("damage"), 2000);
    QVERIFY(db.open(&error));
    QVERIFY(QSqlQuery(db.database())
                .exec(QStringLiteral("INSERT INTO ALERT_RULES (NAME, MATCH_KIND, MATCH_TEXT, ARGUMENTS) "
                                     "VALUES ('future', 'regex', '.*', '[]'), ('broken', 'talkgroups', '1', '{x')")));
    QVERIFY(a.engine.store()->load(&rules, &error, &unreadable));
    QCOMPARE(rules.size(), 1);
    QCOMPARE(rules.first().name, QStringLiteral("Pager"));
    QCOMPARE(rules.first().arguments, r.arguments);
    QCOMPARE(rules.first().program, QStringLiteral("true"));
    QCOMPARE(unreadable.size(), 2);
    QVERIFY(unreadable.first().contains(QLatin1String("\"regex\"")));
    QVERIFY(a.engine.store()->remove(r.id, &error));
    QSqlQuery left(db.database());
    QVERIFY(left.exec(QStringLiteral("SELECT COUNT(*) FROM ALERT_RULES")) && left.next());
    QCOMPARE(left.value(0).toInt(), 2); // the unreadable rows are still there
}

// Each matching rule fires when the call starts, not again within its
// cooldown; the notification names the talkgroup or channel.
void TestAlerts::rightRulesFireOncePerCooldown()
{
    AlertRig a;
    QSignalSpy alerted(&a.engine, &AlertEngine::alerted);
    a.save(rule(QStringLiteral("Range"), AlertRule::Match::Talkgroups, QStringLiteral("100-200, 999"), 60));
    a.save(rule(QStringLiteral("Every time"), AlertRule::Match::Talkgroups, QStringLiteral("300"), 0));
    a.save(rule(QStringLiteral("Fire"), AlertRule::Match::Name, QStringLiteral("fire"), 1));
    a.save(rule(QStringLiteral("Channel 12"), AlertRule::Match::Channels, QStringLiteral("10-12"), 60));
    AlertRule off = rule(QStringLiteral("Off"), AlertRule::Match::Talkgroups, QStringLiteral("1-99999"), 0);
    off.enabled = false;
    a.save(off);

    const auto fired = [&] {
        QStringList names;
        for (const QList<QVariant> &args : alerted)
            names << args.first().value<AlertEvent>().ruleName;
        alerted.clear();
        return names;
    };
    a.talkgroup(QStringLiteral("150")); // Range and Fire
    QCOMPARE(fired(), (QStringList{QStringLiteral("Range"), QStringLiteral("Fire")}));
    QTRY_COMPARE(m_service.received.size(), 2);
    QCOMPARE(m_service.received.at(0).summary, QStringLiteral("Range"));
    QCOMPARE(m_service.received.at(0).body, QStringLiteral("Talkgroup 150: Fire Dispatch, Ashby"));
    QCOMPARE(m_service.received.at(0).appName, QStringLiteral("Orvendal"));

    a.talkgroup(QStringLiteral("300"));
    a.talkgroup(QStringLiteral("150")); // both within their cooldown
    a.talkgroup(QStringLiteral("300"));
    a.talkgroup(QStringLiteral("400")); // Fire, by its service, still cooling down
    a.talkgroup(QStringLiteral("55"));  // only the rule that is off
    QCOMPARE(fired(), (QStringList{QStringLiteral("Every time"), QStringLiteral("Every time")}));

    QTest::qWait(1100); // Fire's second is over
    a.talkgroup(QStringLiteral("400"));
    QCOMPARE(fired(), QStringList{QStringLiteral("Fire")});
    QTRY_COMPARE(m_service.received.size(), 5);
    QCOMPARE(m_service.received.last().body, QStringLiteral("Talkgroup 400: County FIRE Ops, Brill"));

    // A conventional call: the channel's company name from its bank table.
    ChannelDatabase db(a.rig.databasePath(), QStringLiteral("bank"), 2000);
    QString error;
    QVERIFY(db.open(&error));
    QVERIFY(QSqlQuery(db.database()).exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ, COMPANY_NAME) "
                                                         "VALUES (12, '154.4150', 'Acme Taxi')")));
    a.rig.enterMode(ScannerMode::Scan);
    a.rig.reply(QStringLiteral("+"));
    a.rig.reply(QStringLiteral("C012 F01544150 TF DF LF AF PF"));
    QCOMPARE(fired(), QStringList{QStringLiteral("Channel 12")});
    QTRY_COMPARE(m_service.received.size(), 6);
    QCOMPARE(m_service.received.last().body, QStringLiteral("Channel 012 (154.4150 MHz): Acme Taxi"));
}

// The program gets its arguments exactly, quotes and spaces included, with
// the placeholders filled in and nothing in a value taken as one; its output
// goes to the log; one that hangs is killed.
void TestAlerts::programGetsItsArgumentsExactly()
{
    AlertRig a;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("argv"));
    const QString script = dir.filePath(QStringLiteral("record args.sh"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$OUT\"\necho \"ran with $# arguments\"\n"
            "[ \"$1\" = hang ] && exec sleep 30\nexit 0\n");
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
    qputenv("OUT", out.toLocal8Bit());

    AlertRule r = rule(QStringLiteral("Run"), AlertRule::Match::Talkgroups, QStringLiteral("777"), 0);
    r.notify = false;
    r.run = true;
    r.program = script;
    r.arguments = {QStringLiteral("{id}"), QStringLiteral("say \"hi\" to 'them'  now"), QStringLiteral("{name}!"),
                   QString(), QStringLiteral("{channel}|{frequency}|{id}{id}"), QStringLiteral("$(touch x); *")};
    a.save(r);

    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        logged << m;
    });
    QSignalSpy done(a.engine.programs(), &AlertProgram::finished);
    a.talkgroup(QStringLiteral("777"));
    QVERIFY(done.wait(10000));
    qInstallMessageHandler(previous);
    QVERIFY2(done.first().at(1).toBool(), qPrintable(done.first().at(2).toString()));
    QFile got(out);
    QVERIFY(got.open(QIODevice::ReadOnly));
    QList<QByteArray> argv = got.readAll().split('\0');
    argv.removeLast();
    const QList<QByteArray> expected = {"777", "say \"hi\" to 'them'  now", "O'Neil \"{id}\" & Sons $HOME!", "",
                                        "||777777", "$(touch x); *"};
    QCOMPARE(argv, expected);
    QVERIFY2(logged.contains(QStringLiteral("Run: ran with 6 arguments")), qPrintable(logged.join(QLatin1Char('\n'))));

    // A program that hangs is killed at the timeout.
    a.engine.programs()->setTimeout(300);
    r = a.engine.rules().first();
    r.arguments = {QStringLiteral("hang")};
    a.save(r);
    done.clear();
    QElapsedTimer t;
    t.start();
    a.talkgroup(QStringLiteral("55"));
    a.talkgroup(QStringLiteral("777"));
    QVERIFY(done.wait(10000));
    QVERIFY(t.elapsed() < 5000);
    QVERIFY(!done.first().at(1).toBool());
    QVERIFY2(done.first().at(2).toString().contains(QLatin1String("killed")), qPrintable(done.first().at(2).toString()));
    QCOMPARE(a.engine.programs()->running(), 0);
}

// No service, or one that never answers: a call start does not wait for it,
// the log says so once, and calls do not pile up.
void TestAlerts::notificationsNeverWait()
{
    AlertRig a;
    a.save(rule(QStringLiteral("All"), AlertRule::Match::Talkgroups, QStringLiteral("1-999"), 0));
    DesktopNotifier *notifier = a.engine.notifier();
    QSignalSpy unavailable(notifier, &DesktopNotifier::unavailable);

    m_service.stop();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^No desktop notification service answers")));
    a.talkgroup(QStringLiteral("1"));
    a.talkgroup(QStringLiteral("2"));
    QTRY_COMPARE(notifier->pending(), 0);
    a.talkgroup(QStringLiteral("3"));
    QTRY_COMPARE(notifier->pending(), 0);
    QCOMPARE(unavailable.size(), 1);

    // A service that takes the calls and never answers.
    QString error;
    QVERIFY2(m_service.start(&error), qPrintable(error));
    m_service.answering = false;
    QElapsedTimer t;
    qint64 longest = 0;
    for (int i = 0; i < DesktopNotifier::kMaxPending + 4; ++i) {
        t.start();
        a.engine.callStarted({QString::number(100 + i), QLatin1Char('C'), {}, {}});
        longest = std::max(longest, t.elapsed());
    }
    QVERIFY2(longest < 50, qPrintable(QString::number(longest)));
    QTRY_COMPARE(m_service.received.size(), DesktopNotifier::kMaxPending);
    QCOMPARE(notifier->pending(), DesktopNotifier::kMaxPending);
    QCOMPARE(unavailable.size(), 1);
    // Once it answers, they are done with and the next one goes out.
    m_service.answering = true;
    m_service.answerHeld();
    QTRY_COMPARE(notifier->pending(), 0);
    a.engine.callStarted({QStringLiteral("200"), QLatin1Char('C'), {}, {}});
    QTRY_COMPARE(m_service.received.size(), DesktopNotifier::kMaxPending + 1);
}

int main(int argc, char **argv)
{
    if (const int code = rerunOnPrivateBus(argc, argv); code >= 0)
        return code;
    QCoreApplication app(argc, argv);
    TestAlerts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alerts.moc"
