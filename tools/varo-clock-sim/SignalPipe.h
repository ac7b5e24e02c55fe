#pragma once

#include <QObject>

// Turns SIGINT and SIGTERM into a Qt signal on the event loop (the self-pipe
// trick): the handler only writes the signal number into a pipe.
class SignalPipe : public QObject {
    Q_OBJECT
public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;

    // False, with `error` set, when the pipe or the handlers cannot be set up.
    bool install(QString* error);

signals:
    void caught(int signalNumber);

private:
    void readSignals();

    int m_readFd = -1;
};
