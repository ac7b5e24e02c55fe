#pragma once

#include <QString>

// A network namespace of the test's own, joined to this one by a veth pair:
// this side 10.A.B.1/30, the far side 10.A.B.2, A and B from the process id,
// so that tests running at once do not meet. The far address can be taken
// away and given back, as a server's network that fails silently. Needs root
// (ip netns); removed with the object.
class NetworkNamespace {
public:
    NetworkNamespace();
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    // Makes it; why not, when it cannot.
    QString create();
    const QString& name() const { return m_name; }
    QString farAddress() const { return m_prefix + QLatin1Char('2'); }
    // Takes the far address away, or gives it back.
    bool setFarAddressPresent(bool present);

private:
    QString m_name;
    QString m_prefix; // "10.A.B."
    QString m_near;   // the pair's ends
    QString m_far;
};
