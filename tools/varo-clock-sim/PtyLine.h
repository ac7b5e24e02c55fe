#pragma once

#include "Line.h"
#include "PtyPeerWatch.h"

#include <memory>

class QSocketNotifier;

// A pseudo-terminal pair in raw mode: the simulator reads and writes the
// master, the other end opens the slave device. Bytes written while nobody
// has the slave open are dropped, as a serial line drops what arrives at a
// closed port, instead of piling up for the next peer.
class PtyLine : public Line {
    Q_OBJECT
public:
    // Nothing, with `error` set, when the pair cannot be made.
    static std::unique_ptr<PtyLine> open(QString* error);
    ~PtyLine() override;

    QString deviceName() const override { return m_slaveName; }
    QString write(const QByteArray& bytes) override;

private:
    PtyLine(int master, int slave, const QString& slaveName);
    void readAll();

    int m_master;
    int m_slave; // held so that the master never sees a hangup
    QString m_slaveName;
    QSocketNotifier* m_notifier;
    PtyPeerWatch m_peers;
};
