#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The simulator's end of the serial line: a pseudo-terminal or a real device.
class Line : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The device the other end opens.
    virtual QString deviceName() const = 0;

    // Writes the bytes at once, without waiting for the line. Returns why not
    // all of them went out, or an empty text when they did.
    virtual QString write(const QByteArray& bytes) = 0;

signals:
    // Bytes as one read returned them; atUs is the wall time right after the read.
    void received(const QByteArray& chunk, qint64 atUs);
    // How many times the other end has the device open now (pseudo-terminal only).
    void peerCountChanged(int openCount);
    // The line cannot be used any more.
    void lost(const QString& reason);
};
