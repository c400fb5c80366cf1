#include "link/ReplyBuffer.h"

#include "link/Framing.h"

void ReplyBuffer::append(const QByteArray &bytes)
{
    append(Framing::decode(bytes));
}

void ReplyBuffer::append(const QString &text)
{
    m_text.append(text);
    if (m_text.size() <= kMaxPending)
        return;
    // More than the scanner could sensibly have queued: drop the oldest text,
    // up to a line boundary where there is one, so the buffer stays bounded
    // and the next complete line is still found intact.
    const qsizetype excess = m_text.size() - kMaxPending;
    const qsizetype cr = m_text.indexOf(QLatin1Char(Framing::kTerminator), excess - 1);
    if (cr >= 0)
        m_text.remove(0, cr + 1);
    else
        m_text = m_text.right(kMaxPending);
}

ReplyBuffer::Cut ReplyBuffer::cut(QString *line)
{
    const qsizetype cr = m_text.indexOf(QLatin1Char(Framing::kTerminator));
    if (cr < 0)
        return Cut::NoLine;
    if (cr == 0) {
        m_text.remove(0, 1);
        return Cut::EmptyLine;
    }
    if (line)
        *line = m_text.left(cr);
    m_text.remove(0, cr + 1);
    return Cut::Line;
}

bool ReplyBuffer::takeLine(QString *line)
{
    for (;;) {
        switch (cut(line)) {
        case Cut::NoLine:
            return false;
        case Cut::EmptyLine:
            continue;
        case Cut::Line:
            return true;
        }
    }
}
