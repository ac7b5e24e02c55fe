#pragma once

#include <QString>

class QTcpSocket;

// The live page at /: one HTML page with its style sheet, script and icon
// from the program's resources, for a wall screen or a phone. It holds
// nothing of the master clock, so any browser may load it; it asks for the
// token itself, for /live and the commands.
namespace LivePage {

// Whether `path` names one of the page's files.
bool serves(const QString& path);
// Answers a GET of the file `path` names.
void send(QTcpSocket* socket, const QString& path, bool close);

} // namespace LivePage
