#include "alerts/AlertProgram.h"

#include "alerts/AlertRule.h"

#include <QProcess>
#include <QTimer>
#include <QVariant>

namespace {
const char *kLinesProperty = "orvendalLoggedLines";
const char *kKilledProperty = "orvendalKilled";
constexpr qint64 kMaxLineBytes = 4096;
} // namespace

AlertProgram::AlertProgram(QObject *parent)
    : QObject(parent)
{
}

AlertProgram::~AlertProgram()
{
    // Programs still running are not waited for: they are killed.
    for (QProcess *p : findChildren<QProcess *>()) {
        p->disconnect(this);
        p->kill();
        p->waitForFinished(1000);
    }
}

void AlertProgram::logOutput(QProcess *process, const QString &label, bool flush)
{
    int logged = process->property(kLinesProperty).toInt();
    auto line = [&](const QByteArray &bytes) {
        if (logged++ < kMaxLoggedLines)
            qCInfo(lcAlerts).noquote() << label + QStringLiteral(": ") + QString::fromLocal8Bit(bytes).trimmed();
    };
    while (process->canReadLine())
        line(process->readLine(kMaxLineBytes));
    // Output without line ends is taken in pieces, so that it never piles up.
    while (process->bytesAvailable() >= kMaxLineBytes)
        line(process->read(kMaxLineBytes));
    if (flush && process->bytesAvailable() > 0)
        line(process->readAll());
    if (flush && logged > kMaxLoggedLines)
        qCInfo(lcAlerts).noquote() << label + QStringLiteral(": %1 more lines not logged").arg(logged - kMaxLoggedLines);
    process->setProperty(kLinesProperty, logged);
}

bool AlertProgram::run(const QString &label, const QString &program, const QStringList &arguments)
{
    if (m_running >= kMaxRunning) {
        qCWarning(lcAlerts).noquote() << label + QStringLiteral(": %1 alert programs are still running; %2 is not "
                                                                "started").arg(m_running).arg(program);
        return false;
    }
    auto *process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    ++m_running;
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, process, label] { logOutput(process, label, false); });
    connect(process, &QProcess::errorOccurred, this, [this, process, label, program](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash or kill is told by finished
        --m_running;
        const QString outcome = QStringLiteral("%1 could not be started: %2").arg(program, process->errorString());
        qCWarning(lcAlerts).noquote() << label + QStringLiteral(": ") + outcome;
        emit finished(label, false, outcome);
        process->deleteLater();
    });
    connect(process, &QProcess::finished, this, [this, process, label, program](int code, QProcess::ExitStatus status) {
        --m_running;
        logOutput(process, label, true);
        QString outcome;
        if (process->property(kKilledProperty).toBool())
            outcome = QStringLiteral("%1 was still running after %2 s and was killed").arg(program).arg(m_timeoutMillis / 1000.0);
        else if (status == QProcess::CrashExit)
            outcome = QStringLiteral("%1 crashed").arg(program);
        else
            outcome = QStringLiteral("%1 exited with %2").arg(program).arg(code);
        const bool ok = status == QProcess::NormalExit && code == 0 && !process->property(kKilledProperty).toBool();
        if (ok)
            qCDebug(lcAlerts).noquote() << label + QStringLiteral(": ") + outcome;
        else
            qCWarning(lcAlerts).noquote() << label + QStringLiteral(": ") + outcome;
        emit finished(label, ok, outcome);
        process->deleteLater();
    });
    QTimer::singleShot(m_timeoutMillis, process, [process] {
        if (process->state() == QProcess::NotRunning)
            return;
        process->setProperty(kKilledProperty, true);
        process->kill();
    });
    process->start(program, arguments);
    return true;
}
