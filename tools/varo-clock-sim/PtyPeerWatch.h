#pragma once

#include <QObject>
#include <QString>

// Counts how often the other end has a pseudo-terminal's slave device open,
// from the kernel's open and close notifications for the device file
// (inotify). The simulator keeps a slave descriptor of its own all along, so
// the master never reports a hangup; this count is how it learns that its
// peer came and went. Opens made before the watch started are not counted.
class PtyPeerWatch : public QObject {
    Q_OBJECT
public:
    explicit PtyPeerWatch(QObject* parent = nullptr);
    ~PtyPeerWatch() override;

    bool watch(const QString& devicePath, QString* error);

    // Takes in the notifications that are waiting and returns the count.
    int refresh();

signals:
    void countChanged(int openCount);

private:
    int m_fd = -1;
    int m_openCount = 0;
};
