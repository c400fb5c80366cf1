// The web front panel against a session on a fake port: the token, the
// page's files and nothing else, the live display, the keys, and browsers
// that do not keep up.
#include "SessionRig.h"
#include "protocol/Commands.h"
#include "remote/RemoteGate.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteState.h"
#include "remote/RemoteToken.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

class TestRemote : public QObject
{
    Q_OBJECT

    struct Panel
    {
        SessionRig rig;
        RemoteServer server{{&rig.parts.display, &rig.parts.aux, &rig.session, &rig.parts.keypad, rig.store.store.get(),
                             rig.databasePath(), {}}};
        Panel()
        {
            QString error;
            if (!server.listen(QHostAddress::LocalHost, 0, &error))
                qFatal("%s", qPrintable(error));
        }
        QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.port()); }
        QUrl ws(const QString &token) const
        {
            return QUrl(QStringLiteral("ws://127.0.0.1:%1/ws?token=%2").arg(server.port()).arg(token));
        }
    };

    // status code and body of one GET
    static std::pair<int, QByteArray> get(const QUrl &url, const QByteArray &tokenHeader = {})
    {
        QNetworkAccessManager nam;
        QNetworkRequest request(url);
        if (!tokenHeader.isEmpty())
            request.setRawHeader("X-Orvendal-Token", tokenHeader);
        std::unique_ptr<QNetworkReply> reply(nam.get(request));
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        if (!done.wait(10000))
            return {-1, {}};
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }

    // The request line sent exactly as given; the answer's status line.
    static QByteArray raw(quint16 port, const QByteArray &request)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000))
            return {};
        socket.write(request);
        QByteArray answer;
        (void)QTest::qWaitFor(
            [&] {
                answer += socket.readAll();
                return answer.contains("\r\n\r\n") || socket.state() == QAbstractSocket::UnconnectedState;
            },
            10000);
        return answer.left(answer.indexOf("\r\n"));
    }

    static QJsonObject lastState(const QStringList &messages)
    {
        for (qsizetype i = messages.size() - 1; i >= 0; --i) {
            const QJsonObject o = QJsonDocument::fromJson(messages.at(i).toUtf8()).object();
            if (o.value(QStringLiteral("type")) == QLatin1String("state"))
                return o;
        }
        return {};
    }

private slots:
    void tokenIsStoredAndRenewable()
    {
        TempSettings store;
        store->setValue(RemoteToken::kKey, "guessable");
        const QString first = RemoteToken::current(*store);
        QVERIFY(RemoteToken::isWellFormed(first));
        QCOMPARE(first.size(), 32); // 128 bits
        QCOMPARE(RemoteToken::current(*store), first);
        const QString renewed = RemoteToken::renew(*store);
        QVERIFY(renewed != first);
        QCOMPARE(store->value(RemoteToken::kKey).toString(), renewed);
        QVERIFY(RemoteToken::matches(renewed, renewed));
        QVERIFY(!RemoteToken::matches(first, renewed));
        QVERIFY(!RemoteToken::matches(QString(), QString()));
    }

    void pageNeedsTheToken()
    {
        Panel p;
        const QString token = p.server.token();
        auto [status, body] = get(QUrl(p.base() + QStringLiteral("/?token=") + token));
        QCOMPARE(status, 200);
        QVERIFY(body.contains("panel.js?token=" + token.toLatin1()));
        QCOMPARE(get(QUrl(p.base() + QStringLiteral("/panel.js")), token.toLatin1()).first, 200);
        QCOMPARE(get(QUrl(p.base() + QStringLiteral("/panel.css?token=") + token)).first, 200);
        QCOMPARE(get(QUrl(p.base() + QStringLiteral("/"))).first, 401);
        QCOMPARE(get(QUrl(p.base() + QStringLiteral("/?token=") + QString(32, QLatin1Char('0')))).first, 401);
        QCOMPARE(p.server.pageUrl().toString(), p.base() + QStringLiteral("/?token=") + token);
    }

    void nothingButThePagesFiles()
    {
        Panel p;
        const QByteArray token = p.server.token().toLatin1();
        const QByteArray targets[] = {"/../index.html", "/%2e%2e/%2e%2e/etc/passwd", "/..%2f..%2fetc/passwd",
                                      "/etc/passwd", "//etc/passwd", "/remote/", "/:/remote/index.html",
                                      "http://127.0.0.1/../../etc/passwd", "/index.html/..", "/panel.js%00.html"};
        for (const QByteArray &target : targets) {
            const QByteArray line = raw(p.server.port(), "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                         "X-Orvendal-Token: " + token + "\r\nConnection: close\r\n\r\n");
            QVERIFY2(line.startsWith("HTTP/1.1 4"), target + " -> " + line);
        }
        QVERIFY(raw(p.server.port(), "GET /index.html HTTP/1.1\r\nHost: x\r\nX-Orvendal-Token: " + token
                                         + "\r\nConnection: close\r\n\r\n").startsWith("HTTP/1.1 200"));
        // A head that never ends is not kept.
        QVERIFY(raw(p.server.port(), "GET / HTTP/1.1\r\nX-Long: " + QByteArray(20000, 'a')).startsWith("HTTP/1.1 431"));
    }

    void repeatedFailuresAreSlowedDown()
    {
        RemoteGate gate;
        gate.setToken(QString(32, QLatin1Char('a')));
        const QHostAddress from(QStringLiteral("192.0.2.7"));
        for (int i = 0; i < RemoteGate::kFreeFailures; ++i)
            QVERIFY(!gate.admit(from, QStringLiteral("wrong")));
        QCOMPARE(gate.holdMillis(from), 0);
        QVERIFY(!gate.admit(from, QStringLiteral("wrong")));
        const int first = gate.holdMillis(from);
        QVERIFY(first > 0);
        QVERIFY(!gate.admit(from, QStringLiteral("wrong")));
        QVERIFY(gate.holdMillis(from) > first);
        QCOMPARE(gate.holdMillis(QHostAddress(QStringLiteral("192.0.2.8"))), 0); // others are not held
        // An IPv4 peer on a dual-stack socket is the same address.
        QVERIFY(gate.holdMillis(QHostAddress(QStringLiteral("::ffff:192.0.2.7"))) > 0);
        QVERIFY(gate.admit(from, gate.token()));
        QCOMPARE(gate.holdMillis(from), 0);

        // Live: past the free failures the next answer waits, and is no page.
        Panel p;
        for (int i = 0; i <= RemoteGate::kFreeFailures; ++i)
            QCOMPARE(get(QUrl(p.base() + QStringLiteral("/?token=bad"))).first, 401);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(get(QUrl(p.base() + QStringLiteral("/?token=") + p.server.token())).first, 429);
        QVERIFY(timer.elapsed() >= RemoteGate::kFirstDelayMillis - 50);
    }

    void webSocketNeedsTokenAndOwnOrigin()
    {
        Panel p;
        const QString own = p.base();
        struct Case
        {
            QString origin;
            QString token;
            bool opens;
        };
        const Case cases[] = {
            {own, p.server.token(), true},
            {QString(), p.server.token(), true},
            {own, QStringLiteral("bad"), false},
            {own, QString(), false},
            {QStringLiteral("http://evil.example"), p.server.token(), false},
            {QStringLiteral("http://127.0.0.1:1"), p.server.token(), false},
            {QStringLiteral("null"), p.server.token(), false},
        };
        for (const Case &c : cases) {
            QWebSocket socket(c.origin);
            QSignalSpy connected(&socket, &QWebSocket::connected);
            QSignalSpy gone(&socket, &QWebSocket::disconnected);
            QStringList messages;
            connect(&socket, &QWebSocket::textMessageReceived, this, [&](const QString &m) { messages << m; });
            socket.open(p.ws(c.token));
            QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty() || !gone.isEmpty(), 5000);
            QVERIFY2(connected.isEmpty() != c.opens, qPrintable(c.origin + QLatin1Char(' ') + c.token));
            if (c.opens)
                QTRY_VERIFY(!lastState(messages).isEmpty()); // the whole state at once
        }
    }

    void displayAndKeysOverTheWebSocket()
    {
        Panel p;
        QWebSocket socket;
        QStringList messages;
        connect(&socket, &QWebSocket::textMessageReceived, this, [&](const QString &m) { messages << m; });
        socket.open(p.ws(p.server.token()));
        QTRY_VERIFY(!lastState(messages).isEmpty());
        QCOMPARE(lastState(messages).value(QStringLiteral("link")).toString(), QStringLiteral("faceplate"));

        QElapsedTimer timer;
        timer.start();
        p.rig.display().setText(DisplayModel::CHAN, QStringLiteral("417"));
        p.rig.aux().setLine(1, QStringLiteral("County Fire Dispatch"));
        p.rig.session.talkgroupShown(QStringLiteral("12345"), QLatin1Char('C'));
        QTRY_COMPARE_WITH_TIMEOUT(
            lastState(messages).value(QStringLiteral("fields")).toObject().value(QStringLiteral("CHAN")).toString(),
            QStringLiteral("417"), 1000);
        QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
        const QJsonObject state = lastState(messages);
        QCOMPARE(state.value(QStringLiteral("aux")).toArray().at(0).toString(), QStringLiteral("County Fire Dispatch"));
        QCOMPARE(state.value(QStringLiteral("activity")).toArray().at(0).toObject().value(QStringLiteral("id")).toString(),
                 QStringLiteral("12345"));

        // An alert that fired goes to the page as it is.
        p.server.showAlert(QStringLiteral("Fire <b>"), QStringLiteral("Talkgroup 12345: \"Dispatch\""));
        QJsonObject alert;
        QTRY_VERIFY(std::any_of(messages.cbegin(), messages.cend(), [&](const QString &m) {
            alert = QJsonDocument::fromJson(m.toUtf8()).object();
            return alert.value(QStringLiteral("type")) == QLatin1String("alert");
        }));
        QCOMPARE(alert.value(QStringLiteral("title")).toString(), QStringLiteral("Fire <b>"));
        QCOMPARE(alert.value(QStringLiteral("message")).toString(), QStringLiteral("Talkgroup 12345: \"Dispatch\""));

        // A key takes the faceplate's path to the scanner.
        p.rig.port.clearWritten();
        socket.sendTextMessage(QStringLiteral("{\"key\":\"btnSCAN\"}"));
        QTRY_COMPARE(p.rig.port.commands(), QStringList{Command::key(Command::Key::Scan)});
        socket.sendTextMessage(QStringLiteral("{\"key\":\"btnSHFT\"}"));
        QTRY_VERIFY(p.rig.state().shiftOn);

        // Nonsense is answered, not sent.
        messages.clear();
        socket.sendTextMessage(QStringLiteral("{\"key\":\"../btnSCAN\"}"));
        socket.sendTextMessage(QStringLiteral("not json"));
        QTRY_VERIFY(!messages.isEmpty());
        QVERIFY(messages.first().contains(QLatin1String("refused")));

        // While a transfer has the link the page is told, and keys are refused.
        p.rig.port.clearWritten();
        const LinkLoan loan = p.rig.session.lendLink();
        QTRY_COMPARE(lastState(messages).value(QStringLiteral("link")).toString(), QStringLiteral("transfer"));
        messages.clear();
        socket.sendTextMessage(QStringLiteral("{\"key\":\"btnSHFT\"}"));
        QTRY_VERIFY(!messages.isEmpty());
        QVERIFY(messages.first().contains(QLatin1String("transfer")));
        QVERIFY(p.rig.state().shiftOn); // not pressed
        QVERIFY(p.rig.port.written().isEmpty());
        QVERIFY(p.rig.session.returnLink(loan));
    }

    void stalledBrowserIsDropped()
    {
        Panel p;
        p.server.setMaxBacklog(64 * 1024);
        QWebSocket healthy;
        QSignalSpy healthyUp(&healthy, &QWebSocket::connected);
        healthy.open(p.ws(p.server.token()));
        QVERIFY(healthyUp.wait(5000));

        // A browser that shakes hands and then reads nothing more.
        QTcpSocket stalled;
        stalled.setReadBufferSize(1);
        stalled.connectToHost(QHostAddress::LocalHost, p.server.port());
        QVERIFY(stalled.waitForConnected(5000));
        stalled.write("GET /ws?token=" + p.server.token().toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                      "Sec-WebSocket-Version: 13\r\n\r\n");
        QTRY_COMPARE(p.server.clientCount(), 2);

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; p.server.clientCount() == 2 && timer.elapsed() < 20000; ++i) {
            p.rig.display().setStatusLine(QString(100000, QChar(u'a' + i % 26)));
            QTest::qWait(RemoteState::kCoalesceMillis + 10);
        }
        QCOMPARE(p.server.clientCount(), 1);
        QCOMPARE(healthy.state(), QAbstractSocket::ConnectedState);
        QTRY_COMPARE(p.server.connectionCount(), 1); // the dropped one's connection is gone too

        // Connections that never say anything are bounded in number (in
        // batches: the listen queue is short).
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        const auto closed = [&idle] {
            return std::count_if(idle.begin(), idle.end(),
                                 [](const auto &s) { return s->state() == QAbstractSocket::UnconnectedState; });
        };
        while (idle.size() < RemoteServer::kMaxConnections + 4) {
            for (int i = 0; i < 20; ++i) {
                idle.push_back(std::make_unique<QTcpSocket>());
                idle.back()->connectToHost(QHostAddress::LocalHost, p.server.port());
            }
            QTRY_VERIFY(std::all_of(idle.end() - 20, idle.end(), [](const auto &s) {
                return s->state() != QAbstractSocket::ConnectingState && s->state() != QAbstractSocket::HostLookupState;
            }));
        }
        QTRY_COMPARE(closed(), qsizetype(idle.size()) - (RemoteServer::kMaxConnections - 1));
        QCOMPARE(p.server.connectionCount(), RemoteServer::kMaxConnections);
        idle.clear();
        QTRY_VERIFY(raw(p.server.port(), "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                        .startsWith("HTTP/1.1 401"));
    }
};

QTEST_GUILESS_MAIN(TestRemote)
#include "tst_remote.moc"
