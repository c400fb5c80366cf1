#include "link/CommandSequence.h"

#include "link/CommPort.h"

CommandSequence::CommandSequence(CommPort *port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CommandSequence::runSteps);
}

CommandSequence &CommandSequence::send(const QString &command)
{
    m_steps.append({Step::Send, command, 0, {}});
    return *this;
}

CommandSequence &CommandSequence::pause(int millis)
{
    m_steps.append({Step::Pause, {}, millis, {}});
    return *this;
}

CommandSequence &CommandSequence::then(std::function<void()> action)
{
    m_steps.append({Step::Action, {}, 0, std::move(action)});
    return *this;
}

void CommandSequence::start()
{
    m_running = true;
    runSteps();
}

void CommandSequence::abort()
{
    m_timer.stop();
    m_steps.clear();
    m_running = false;
}

void CommandSequence::runSteps()
{
    while (m_running && !m_steps.isEmpty()) {
        Step step = m_steps.takeFirst();
        switch (step.kind) {
        case Step::Send:
            if (m_port->isOpen())
                m_port->send(step.command);
            break;
        case Step::Pause:
            m_timer.start(step.millis);
            return;
        case Step::Action:
            step.action();
            break;
        }
    }
    if (m_running) {
        m_running = false;
        emit finished();
    }
}
