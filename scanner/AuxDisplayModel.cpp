#include "scanner/AuxDisplayModel.h"

QString AuxDisplayModel::initialText(int line)
{
    switch (line) {
    case 1: return QStringLiteral("Frequency or Talkgroup ID");
    case 2: return QStringLiteral("TRANSMITTER CITY");
    case 3: return QStringLiteral("SERVICE DESCRIPTION");
    case 4: return QStringLiteral("Additional Information");
    default: return QStringLiteral("Aux Display #%1").arg(line);
    }
}

AuxDisplayModel::AuxDisplayModel(QObject *parent)
    : BatchedModel(parent)
{
    reset();
}

void AuxDisplayModel::setLine(int line, const QString &text)
{
    if (line < 1 || line > kLines || m_lines[line - 1] == text)
        return;
    m_lines[line - 1] = text;
    markChanged();
    emit lineChanged(line, text);
}

void AuxDisplayModel::clearLines()
{
    for (int i = 1; i <= 4; ++i)
        setLine(i, QString());
}

void AuxDisplayModel::reset()
{
    for (int i = 1; i <= kLines; ++i)
        setLine(i, initialText(i));
}

void AuxDisplayModel::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    emit visibilityRequested(visible);
}
