#pragma once

#include <QString>

class QTcpSocket;

// The live page at / and the house page at /house: HTML pages with their
// style sheets, scripts and icon from the program's resources, for a wall
// screen or a phone. They hold nothing of the master clock, so any browser may
// load them; they ask for the token themselves, for /live, the commands and
// /house/clocks.
namespace LivePage {

// Whether `path` names one of the page's files.
bool serves(const QString& path);
// Answers a GET of the file `path` names.
void send(QTcpSocket* socket, const QString& path, bool close);

} // namespace LivePage
