#include "data/CsvReader.h"

namespace {

const char kBom[] = "\xEF\xBB\xBF";

} // namespace

CsvReader CsvReader::parse(QByteArrayView bytes)
{
    CsvReader reader;
    reader.feed(bytes);
    reader.finish();
    return reader;
}

QList<CsvReader::Record> CsvReader::takeRecords()
{
    return std::exchange(m_records, {});
}

void CsvReader::feed(QByteArrayView bytes)
{
    qsizetype i = 0;
    // The byte-order mark may arrive split over several pieces.
    while (!m_headDone && i < bytes.size()) {
        m_head.append(bytes[i++]);
        if (m_head == QByteArrayView(kBom)) {
            m_head.clear();
            m_headDone = true;
        } else if (!QByteArrayView(kBom).startsWith(m_head)) {
            m_headDone = true;
            const QByteArray held = std::exchange(m_head, {});
            for (const char c : held)
                step(c);
        }
    }
    for (; i < bytes.size(); ++i)
        step(bytes[i]);
}

void CsvReader::finish()
{
    if (!m_headDone) {
        m_headDone = true;
        const QByteArray held = std::exchange(m_head, {});
        for (const char c : held)
            step(c);
    }
    switch (m_state) {
    case State::Quoted:
        m_error = QStringLiteral("a quoted field is never closed: the rest of the file was read into it");
        endRecord();
        break;
    case State::FieldStart:
    case State::Unquoted:
    case State::QuoteInQuoted:
    case State::SkipLine:
        endRecord();
        break;
    case State::RecordStart:
    case State::Comment:
        break;
    }
    m_state = State::RecordStart;
}

void CsvReader::lineBreakSeen(char c)
{
    // CR LF counts once, as do a lone CR and a lone LF.
    if (c == '\r' || !m_lastWasCr)
        ++m_line;
    m_lastWasCr = c == '\r';
}

void CsvReader::step(char c)
{
    const bool lineBreak = c == '\n' || c == '\r';
    const bool lfAfterCr = c == '\n' && m_lastWasCr;
    if (lineBreak)
        lineBreakSeen(c);
    else
        m_lastWasCr = false;

    switch (m_state) {
    case State::RecordStart:
        if (lineBreak)
            return; // a blank line, or the LF of a CR LF
        m_recordLine = m_line;
        if (c == '#') {
            m_state = State::Comment;
            return;
        }
        m_state = State::FieldStart;
        [[fallthrough]];
    case State::FieldStart:
        if (c == '"') {
            m_quoted = true;
            m_state = State::Quoted;
        } else if (c == ',') {
            endField();
        } else if (lineBreak) {
            endRecord();
        } else {
            m_field.append(c);
            m_state = State::Unquoted;
        }
        return;
    case State::Unquoted:
        if (c == ',') {
            endField();
            m_state = State::FieldStart;
        } else if (lineBreak) {
            endRecord();
        } else if (c == '"') {
            fail(QStringLiteral("a quote inside a field that does not start with one"));
        } else {
            m_field.append(c);
        }
        return;
    case State::Quoted:
        if (c == '"')
            m_state = State::QuoteInQuoted;
        else
            m_field.append(c);
        return;
    case State::QuoteInQuoted:
        if (c == '"') {
            m_field.append('"');
            m_state = State::Quoted;
        } else if (c == ',') {
            endField();
            m_state = State::FieldStart;
        } else if (lineBreak) {
            endRecord();
        } else {
            fail(QStringLiteral("text after the closing quote of a field"));
        }
        return;
    case State::Comment:
    case State::SkipLine:
        if (lineBreak && !lfAfterCr) {
            if (m_state == State::SkipLine)
                endRecord();
            m_state = State::RecordStart;
        }
        return;
    }
}

void CsvReader::endField()
{
    QString text;
    if (!m_field.isEmpty() || m_quoted) {
        m_decoder.resetState();
        text = m_decoder.decode(m_field);
        if (m_decoder.hasError() && m_error.isEmpty())
            m_error = QStringLiteral("the text is not UTF-8");
        if (text.isNull())
            text = QLatin1String(""); // quoted and empty: a value, not NULL
    }
    m_fields << text;
    m_field.clear();
    m_quoted = false;
}

void CsvReader::endRecord()
{
    if (m_state != State::SkipLine)
        endField();
    if (m_error.isEmpty())
        m_records << Record{m_recordLine, std::exchange(m_fields, {})};
    else
        m_problems << Problem{m_recordLine, std::exchange(m_error, {})};
    m_fields.clear();
    m_field.clear();
    m_quoted = false;
    m_state = State::RecordStart;
}

void CsvReader::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
    m_field.clear();
    m_state = State::SkipLine;
}
