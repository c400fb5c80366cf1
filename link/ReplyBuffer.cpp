#include "link/ReplyBuffer.h"

#include "link/Framing.h"

namespace {
constexpr QChar kCr(Framing::kTerminator);
} // namespace

void ReplyBuffer::append(const QByteArray &bytes)
{
    append(QStringView(Framing::decode(bytes)));
}

void ReplyBuffer::append(QStringView text)
{
    // The lines already cut go first, once they are most of the buffer: the
    // cost of moving the rest is then paid for by the cuts that made them.
    if (m_head > 0 && m_head >= m_text.size() / 2) {
        m_text.remove(0, m_head);
        m_head = 0;
    }
    // Each line keeps its head only, so an overlong reply is still taken as
    // one line of its kind and the lines after it are found intact.
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype cr = text.indexOf(kCr, from);
        const qsizetype end = cr < 0 ? text.size() : cr;
        if (!m_dropping) {
            const qsizetype room = kMaxLine - m_openLine;
            const qsizetype take = qMin(end - from, room);
            m_text.append(text.mid(from, take));
            m_openLine += take;
            if (end - from > room)
                m_dropping = true;
        }
        if (cr < 0)
            break;
        m_text.append(kCr);
        m_openLine = 0;
        m_dropping = false;
        from = cr + 1;
        // A flood of whole lines: only the newest can be kept, so the older
        // ones are let go as they come rather than at the end.
        if (m_text.size() - m_head > 2 * kMaxPending)
            dropOldLines();
    }
    dropOldLines();
}

void ReplyBuffer::dropOldLines()
{
    // More than the scanner could sensibly have queued: the oldest whole
    // lines go, so the buffer stays bounded and every line left is intact.
    if (m_text.size() - m_head <= kMaxPending)
        return;
    const qsizetype cr = m_text.indexOf(kCr, qMax(m_head, m_text.size() - kMaxPending - 1));
    if (cr >= 0) {
        m_head = cr + 1;
    } else {
        // No line ends in the newest kMaxPending characters (cannot happen
        // while a line keeps at most kMaxLine): only the open line stays.
        const qsizetype last = m_text.lastIndexOf(kCr);
        if (last >= m_head)
            m_head = last + 1;
    }
    if (m_head >= m_text.size() / 2) {
        m_text.remove(0, m_head);
        m_head = 0;
    }
}

ReplyBuffer::Cut ReplyBuffer::cut(QString *line)
{
    const qsizetype cr = m_text.indexOf(kCr, m_head);
    if (cr < 0)
        return Cut::NoLine;
    const qsizetype start = m_head;
    m_head = cr + 1;
    if (m_head == m_text.size()) {
        // Everything taken: start over at the front without moving anything.
        if (cr > start && line)
            *line = m_text.mid(start, cr - start);
        m_text.clear();
        m_head = 0;
        return cr == start ? Cut::EmptyLine : Cut::Line;
    }
    if (cr == start)
        return Cut::EmptyLine;
    if (line)
        *line = m_text.mid(start, cr - start);
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

bool ReplyBuffer::hasLine() const
{
    return m_text.indexOf(kCr, m_head) >= 0;
}

void ReplyBuffer::clear()
{
    m_text.clear();
    m_head = 0;
    m_openLine = 0;
    m_dropping = false;
}
