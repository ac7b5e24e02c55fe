#include "PortKeeper.h"

#include "ClockSession.h"
#include "PortWatch.h"
#include "serial/PortCatalog.h"
#include "serial/PortProbe.h"
#include "serial/SerialPortComponent.h"

namespace {
constexpr int kRetryMs = 1000;
}

PortKeeper::PortKeeper(ClockSession& session, Mode mode, PortCatalog* ports, QObject* parent)
    : QObject(parent), m_session(session), m_mode(mode), m_ports(ports) {
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &PortKeeper::tryOpen);
    connect(&session.port(), &SerialPortComponent::lineLost, this, [this](const RuntimeError& error) {
        m_lastFailure.clear();
        m_lostUnreopened = m_mode == Mode::Follow && m_choice.has_value();
        if (m_mode == Mode::Keep)
            m_retry.start();
        emit lost(error);
    });
}

PortKeeper::OnePort PortKeeper::onePort() {
    const QList<int> present = PortProbe::presentPorts(m_session.port());
    OnePort found;
    if (present.size() == 1)
        found.port = PortChoice::listed(present.first());
    else
        for (const int number : present)
            found.several << PortChoice{number, m_ports ? m_ports->locationOfPort(number)
                                                        : PortChoice::listed(number).device};
    return found;
}

void PortKeeper::open(const PortChoice& choice) {
    m_choice = choice;
    m_lostUnreopened = false;
    if (m_mode != Mode::Keep)
        return openNow(choice);
    m_lastFailure.clear();
    tryOpen();
}

void PortKeeper::chosen(const PortChoice& choice) {
    m_choice = choice;
    m_lostUnreopened = false;
}

QString PortKeeper::description() const {
    if (!m_choice)
        return QString();
    const QString device = m_session.port().PortOpen() ? m_session.openLocation() : m_choice->device;
    return m_choice->number > 0 ? QStringLiteral("%1 (%2)").arg(m_choice->name(), device) : device;
}

void PortKeeper::setWatch(PortWatch* watch) {
    watch->setReopen([this] { return reopen(); });
}

bool PortKeeper::reopen() {
    if (!m_lostUnreopened || m_session.port().PortOpen() || m_session.lineHeld())
        return false;
    try {
        openNow(*m_choice);
    } catch (const RuntimeError&) {
        return false;
    }
    m_lostUnreopened = false;
    return true;
}

void PortKeeper::tryOpen() {
    if (m_session.port().PortOpen() || !m_choice)
        return m_retry.stop();
    // A command holding the line has its own port; try again after it.
    if (m_session.lineHeld())
        return;
    try {
        openNow(*m_choice);
    } catch (const RuntimeError& error) {
        const QString failure = QString::number(error.code()) + error.description();
        if (failure != std::exchange(m_lastFailure, failure))
            emit cannotOpen(error);
        return m_retry.start();
    }
    m_retry.stop();
    m_lastFailure.clear();
}

void PortKeeper::openNow(const PortChoice& choice) {
    m_session.openPort(choice);
    emit opened(description());
}
