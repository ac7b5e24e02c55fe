#pragma once

#include "FrameLateness.h"
#include "session/TimeFrameMonitor.h"

#include <QObject>

class ClockService;
class ClockSession;

// The master clock as a reference clock for chronyd (refclock SOCK): every
// time frame read in time goes to chronyd's socket as one sample. Says once
// when the socket takes no samples (chronyd not running yet, no right to
// write to it) and sends to it again at every frame; says once when the
// master clock is too far off to be a reference, and once when frames are
// read too late to be samples. While it is the reference, the service
// refuses a typed time unless it is forced: chronyd would follow it.
class ChronyReference : public QObject {
    Q_OBJECT
public:
    // The longest socket path, in bytes of the file system's encoding.
    static constexpr int kLongestPath = 107;
    // A frame read later than this after where the line time puts it is no sample.
    static constexpr qint64 kMostLateUs = 10'000;

    ChronyReference(ClockSession& session, ClockService& service, const QString& socketPath,
                    QObject* parent = nullptr);
    ~ChronyReference() override;

private:
    void timeFrameSeen(const TimeFrameMonitor::Sighting& sighting);
    void send(const QByteArray& datagram);

    ClockSession& m_session;
    QString m_path;
    int m_socket = -1;
    int m_lastError = -1; // of the last sample that did not go; 0 after one that did, -1 before the first
    bool m_saidTooFarOff = false;
    FrameLateness m_lateness;
    bool m_saidLate = false;
};
