#include "AnswerWait.h"

#include "serial/SerialPortComponent.h"

#include <QTimer>

AnswerWait::Outcome AnswerWait::run(int expectedBytes, int limitSeconds, int startMillisecond) {
    m_lineError.reset();
    if (m_port.InBufferCount() >= expectedBytes)
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
        if (m_port.InBufferCount() >= expectedBytes)
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

QByteArray AnswerWait::awaitAndRead(int expectedBytes, int limitSeconds, int startMillisecond) {
    switch (run(expectedBytes, limitSeconds, startMillisecond)) {
    case Outcome::LineLost:
        throw *m_lineError;
    case Outcome::Cancelled:
        return {};
    case Outcome::Complete:
    case Outcome::TimedOut:
        break;
    }
    return m_port.Input();
}

void AnswerWait::cancel() {
    if (m_loop) {
        m_outcome = Outcome::Cancelled;
        m_loop->quit();
    }
}
