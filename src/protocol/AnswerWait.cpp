#include "AnswerWait.h"

#include "Frames.h"
#include "serial/SerialPortComponent.h"

#include <QTimer>

namespace {
// Whether `bytes` start with the master clock's time frame, or could still
// turn out to once more bytes come.
bool startsWithTimeFrame(const QByteArray& bytes) {
    return !bytes.isEmpty() && quint8(bytes[0]) == Frames::Code::SetTime &&
           (bytes.size() < 2 || bytes[1] == '\0');
}
} // namespace

int AnswerWait::bytesSoFar(LeadingTimeFrames leading) {
    if (leading == LeadingTimeFrames::Keep)
        return m_port.InBufferCount();
    if (m_port.InBufferCount() > 0)
        m_taken += m_port.Input();
    while (startsWithTimeFrame(m_taken) && m_taken.size() >= Frames::Length::ClockTime)
        m_taken.remove(0, Frames::Length::ClockTime);
    // A time frame still arriving is no part of the answer yet.
    return startsWithTimeFrame(m_taken) ? 0 : int(m_taken.size());
}

AnswerWait::Outcome AnswerWait::run(int expectedBytes, int limitSeconds, int startMillisecond,
                                    LeadingTimeFrames leading) {
    m_lineError.reset();
    m_taken.clear();
    if (bytesSoFar(leading) >= expectedBytes)
        return Outcome::Complete;

    QEventLoop loop;
    m_loop = &loop;
    const auto finish = [this, &loop](Outcome outcome) {
        m_outcome = outcome;
        loop.quit();
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { finish(Outcome::TimedOut); });
    QObject::connect(&m_port, &SerialPortComponent::readyRead, &loop, [&] {
        if (bytesSoFar(leading) >= expectedBytes)
            finish(Outcome::Complete);
    });
    QObject::connect(&m_port, &SerialPortComponent::lineLost, &loop,
                     [&](int errorNumber, const QString& description) {
                         m_lineError.emplace(errorNumber, description);
                         finish(Outcome::LineLost);
                     });
    deadline.start((limitSeconds + 1) * 1000 - startMillisecond);
    loop.exec();
    return m_outcome;
}

QByteArray AnswerWait::awaitAndRead(int expectedBytes, int limitSeconds, int startMillisecond,
                                    LeadingTimeFrames leading) {
    switch (run(expectedBytes, limitSeconds, startMillisecond, leading)) {
    case Outcome::LineLost:
        throw *m_lineError;
    case Outcome::Cancelled:
        return {};
    case Outcome::Complete:
    case Outcome::TimedOut:
        break;
    }
    return m_taken + m_port.Input();
}

void AnswerWait::cancel() {
    if (m_loop) {
        m_outcome = Outcome::Cancelled;
        m_loop->quit();
    }
}
