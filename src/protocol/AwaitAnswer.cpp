// Waiting for the master clock's answer to a command.
#include "AnswerWait.h"
#include "WallClock.h"
#include "app/Form1.h"

#include <QScopedValueRollback>

QByteArray Form1::AwaitAnswer(int expectedBytes, int limitSeconds) {
    m_values.timeValue = m_seams.clock->now();
    AnswerWait wait(MSComm1);
    const QScopedValueRollback<AnswerWait*> running(m_runningWait, &wait);
    switch (wait.run(expectedBytes, limitSeconds, m_values.timeValue.time().msec())) {
    case AnswerWait::Outcome::LineLost:
        throw *wait.lineError();
    case AnswerWait::Outcome::Cancelled:
        return {};
    case AnswerWait::Outcome::Complete:
    case AnswerWait::Outcome::TimedOut:
        break;
    }
    m_values.receiveBuffer = MSComm1.Input();
    return m_values.receiveBuffer;
}
