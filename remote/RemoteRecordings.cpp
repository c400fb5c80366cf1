#include "remote/RemoteRecordings.h"

#include "remote/RemoteServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

RemoteRecordings::RemoteRecordings(const QString &databasePath, std::function<QString()> folder)
    : m_databasePath(databasePath)
    , m_folder(std::move(folder))
{
}

bool RemoteRecordings::withDatabase(const QString &path, const std::function<void(QSqlDatabase &)> &work)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    const QString name = QStringLiteral("orvendal-remote-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=0"));
        opened = db.open();
        if (opened) {
            work(db);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return opened;
}

QByteArray RemoteRecordings::audioType(const QByteArray &head)
{
    if (head.startsWith("fLaC"))
        return "audio/flac";
    if (head.startsWith("OggS"))
        return "audio/ogg";
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WAVE")
        return "audio/wav";
    return {};
}

RemoteRecordings::Opened RemoteRecordings::open(qint64 id) const
{
    Opened r;
    QString file;
    bool known = false;
    withDatabase(m_databasePath, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT FILE FROM RECORDINGS WHERE rowid = ?"));
        q.addBindValue(id);
        if (q.exec() && q.next()) {
            file = q.value(0).toString();
            known = true;
        }
    });
    const QString folder = m_folder ? m_folder() : QString();
    if (!known || file.isEmpty() || folder.isEmpty())
        return r;

    // Inside the folder as written, and again once every link is resolved.
    const QString written = QDir::cleanPath(QDir(folder).absoluteFilePath(file));
    const QString root = QFileInfo(folder).canonicalFilePath();
    const auto within = [](const QString &path, const QString &dir) {
        return !dir.isEmpty() && path.startsWith(QDir::cleanPath(dir) + QLatin1Char('/'));
    };
    if (!within(written, QDir(folder).absolutePath()) && !within(written, root)) {
        r.outcome = Outcome::Outside;
        qCInfo(lcRemote).noquote() << "recording" << id << "is not in the recordings folder:" << file;
        return r;
    }
    const QString real = QFileInfo(written).canonicalFilePath();
    if (real.isEmpty() || !QFileInfo(real).isFile()) {
        r.outcome = Outcome::Missing;
        return r;
    }
    if (!within(real, root)) {
        r.outcome = Outcome::Outside;
        qCInfo(lcRemote).noquote() << "recording" << id << "leads out of the recordings folder:" << real;
        return r;
    }
    auto f = std::make_unique<QFile>(real);
    if (!f->open(QIODevice::ReadOnly)) {
        r.outcome = Outcome::Missing;
        return r;
    }
    // What was opened, should the path have been changed since it was looked
    // at (where the system tells).
    const QString opened = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(f->handle())).symLinkTarget();
    if (!opened.isEmpty() && !within(opened, root)) {
        r.outcome = Outcome::Outside;
        qCInfo(lcRemote).noquote() << "recording" << id << "was moved out of the recordings folder:" << opened;
        return r;
    }
    r.type = audioType(f->read(12));
    if (r.type.isEmpty() || !f->seek(0)) {
        r.outcome = Outcome::Missing;
        return r;
    }
    r.outcome = Outcome::Found;
    r.file = std::move(f);
    return r;
}

std::optional<RemoteRecordings::Link> RemoteRecordings::linkOf(const QString &file) const
{
    std::optional<Link> link;
    withDatabase(m_databasePath, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT r.rowid, a.ID, a.HEARD FROM RECORDINGS r "
                                 "JOIN TALKGROUP_ACTIVITY a ON a.rowid = r.ACTIVITY WHERE r.FILE = ?"));
        q.addBindValue(file);
        if (q.exec() && q.next())
            link = Link{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()};
    });
    return link;
}
