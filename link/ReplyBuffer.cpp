#include "link/ReplyBuffer.h"

#include "link/Framing.h"

void ReplyBuffer::append(const QByteArray &bytes)
{
    append(Framing::decode(bytes));
}

void ReplyBuffer::append(const QString &text)
{
    const QChar cr(QLatin1Char(Framing::kTerminator));
    qsizetype from = 0;
    if (m_dropping) {
        // The rest of an overlong line: dropped up to its carriage return,
        // which ends the line's kept head.
        const qsizetype end = text.indexOf(cr);
        if (end < 0)
            return;
        m_dropping = false;
        from = end;
    }
    m_text.append(QStringView(text).mid(from));
    // The line still open at the end keeps only its head, so an overlong
    // reply is still taken as one line of its kind and the lines after it
    // are found intact.
    qsizetype lastCr = m_text.lastIndexOf(cr);
    if (m_text.size() - (lastCr + 1) > kMaxLine) {
        m_text.truncate(lastCr + 1 + kMaxLine);
        m_dropping = true;
    }
    // Complete lines that ended in the middle of the new text may be overlong
    // too: cut each to its head.
    for (qsizetype start = 0; start < m_text.size();) {
        const qsizetype end = m_text.indexOf(cr, start);
        if (end < 0)
            break;
        if (end - start > kMaxLine) {
            m_text.remove(start + kMaxLine, end - start - kMaxLine);
            start += kMaxLine + 1;
        } else {
            start = end + 1;
        }
    }
    // More than the scanner could sensibly have queued: drop the oldest whole
    // lines, so the buffer stays bounded and every line left is intact.
    while (m_text.size() > kMaxPending) {
        const qsizetype end = m_text.indexOf(cr);
        if (end < 0)
            break;
        m_text.remove(0, end + 1);
    }
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
