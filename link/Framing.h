#pragma once

#include <QByteArray>
#include <QString>

// Framing of the scanner's text protocol: a command is its text followed by one
// carriage return; a reply is the text up to (not including) the next one.
namespace Framing {

inline constexpr char kTerminator = '\r';

// The bytes written for one command: the text (printable ASCII) and a CR.
QByteArray frame(const QString &command);

// Bytes received from the scanner as text. The protocol is plain ASCII; any
// other byte is kept one-to-one as a Latin-1 character so nothing is lost.
QString decode(const QByteArray &bytes);

} // namespace Framing
