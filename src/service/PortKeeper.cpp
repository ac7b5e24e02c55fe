#include "PortKeeper.h"

#include "ServiceLog.h"
#include "protocol/CommandTexts.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"

namespace {
constexpr int kRetryMs = 1000;
}

PortKeeper::PortKeeper(ClockSession& session, const PortChoice& choice, QObject* parent)
    : QObject(parent), m_session(session), m_choice(choice) {
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &PortKeeper::tryOpen);
    connect(&session.port(), &SerialPortComponent::lineLost, this, [this](const RuntimeError& error) {
        serviceLog(QStringLiteral("Lost the port: ") + CommandTexts::portError(error));
        m_lastFailure.clear();
        m_retry.start();
    });
}

void PortKeeper::start() {
    tryOpen();
}

void PortKeeper::tryOpen() {
    if (m_session.port().PortOpen())
        return m_retry.stop();
    try {
        m_session.openPort(m_choice);
    } catch (const RuntimeError& error) {
        const QString failure = CommandTexts::portError(error);
        if (failure != std::exchange(m_lastFailure, failure))
            serviceLog(QStringLiteral("Cannot open the port, trying every second: ") + failure);
        return m_retry.start();
    }
    m_retry.stop();
    m_lastFailure.clear();
    const QString device = m_session.openLocation();
    const QString port =
        m_choice.number > 0 ? QStringLiteral("%1 (%2)").arg(m_choice.name(), device) : device;
    serviceLog(QStringLiteral("Opened %1 at %2").arg(port, m_session.port().Settings()));
}
