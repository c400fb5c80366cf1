#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class AuxDisplayModel;
class DisplayModel;
class ScannerSession;

// What the web front panel shows, as JSON: the display's fields and status
// line, the auxiliary display's lines, who has the link, and the recent
// activity (with the number of its recording, where there is one). The changes of one poll turn are announced together once the
// turn is over, and announcements come at most once per kCoalesceMillis.
class RemoteState : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCoalesceMillis = 20;
    static constexpr int kActivityRows = 50;

    struct Sources
    {
        DisplayModel *display = nullptr;
        AuxDisplayModel *aux = nullptr;
        ScannerSession *session = nullptr;
        QString databasePath; // the recent activity is read from it once
    };

    explicit RemoteState(const Sources &sources, QObject *parent = nullptr);

    // "faceplate", "transfer" or "none".
    QString linkOwner() const;
    // The whole state, as one message.
    QByteArray snapshot() const;
    // The recent activity, newest first.
    const QJsonArray &activity() const { return m_activity; }

    // Reads the newest rows of the activity log and which have a recording
    // (read-only; a missing or busy file leaves the list empty).
    void loadActivity();
    // A talkgroup shown now.
    void addActivity(const QString &id, QChar bankLetter);
    // A recording of the row of talkgroup id heard at heard (HEARD text):
    // the row in the list nearest that moment, within kMatchMillis.
    void attachRecording(qint64 recording, const QString &id, const QString &heard);
    static constexpr int kMatchMillis = 2000;

signals:
    // The state changed; at most once per kCoalesceMillis.
    void changed();

private:
    void touch();
    void announce();

    Sources m_s;
    QElapsedTimer m_sinceLast;
    QJsonArray m_activity;
    QList<QDateTime> m_heard; // of each row of m_activity
    QTimer m_coalesce;
};
