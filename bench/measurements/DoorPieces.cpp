// The clock service's door against a client that sends its request a few
// bytes at a time: the service's CPU time per piece in each quarter of a
// chunked body of 20,000 six-byte pieces. A door that read the whole request
// again for each piece would cost more in each quarter than in the last,
// seven times as much in the fourth as in the first; one that reads each
// piece once costs the same throughout. The service's event loop also times
// the master clock's frames, so what a client costs there is not free.
#include "Bench.h"
#include "Measurement.h"
#include "ProgramDoors.h"
#include "Report.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QTcpSocket>
#include <QThread>
#include <optional>

namespace {

constexpr int kQuarters = 4;
constexpr int kPiecesPerQuarter = 5000;
constexpr double kGrowthLimit = 2;
constexpr int kLimitMs = 10000;
// Between pieces, so that each comes as a segment of its own.
constexpr unsigned long kPieceGapUs = 200;

// Nanoseconds the process has run on a CPU, all its threads.
std::optional<qint64> cpuNs(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    qint64 ns = 0;
    for (const QString& thread : threads) {
        QFile schedstat(tasks.filePath(thread + QStringLiteral("/schedstat")));
        bool ok = false;
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    return threads.isEmpty() ? std::nullopt : std::optional<qint64>(ns);
}

// CPU microseconds per piece in each quarter; why not, in `failure`.
QList<double> piecesCost(QTcpSocket& client, qint64 pid, QString* failure) {
    QList<double> perPieceUs;
    std::optional<qint64> before = cpuNs(pid);
    for (int quarter = 0; quarter < kQuarters && before; ++quarter) {
        for (int piece = 0; piece < kPiecesPerQuarter; ++piece) {
            client.write("1\r\nx\r\n");
            if (!client.waitForBytesWritten(kLimitMs)) {
                *failure = QStringLiteral("cannot send a piece: ") + client.errorString();
                return {};
            }
            QThread::usleep(kPieceGapUs);
        }
        const std::optional<qint64> after = cpuNs(pid);
        if (after)
            perPieceUs << double(*after - *before) / 1000.0 / kPiecesPerQuarter;
        before = after;
    }
    if (perPieceUs.size() != kQuarters)
        *failure = QStringLiteral("cannot read the service's CPU time in /proc");
    return perPieceUs;
}

QJsonObject measureDoorPieces(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim)
        return {};
    ServiceChild service;
    QString failure = service.start(sim->device());
    QTcpSocket client;
    if (failure.isEmpty()) {
        client.connectToHost(QHostAddress::LocalHost, service.port());
        client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!client.waitForConnected(kLimitMs))
            failure = QStringLiteral("cannot reach the service: ") + client.errorString();
    }
    if (failure.isEmpty())
        client.write(QStringLiteral("PUT /settings/1 HTTP/1.1\r\nHost: 127.0.0.1:%1\r\n"
                                    "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n")
                         .arg(service.port())
                         .toLatin1());
    const QList<double> perPieceUs =
        failure.isEmpty() ? piecesCost(client, service.processId(), &failure) : QList<double>();
    if (failure.isEmpty()) {
        // Whole, the body is no settings file: the route's 400, which keeps
        // the connection, not the door's, which closes it.
        client.write("0\r\n\r\n");
        QByteArray said;
        while (!said.contains("\r\n\r\n") && client.waitForReadyRead(kLimitMs))
            said += client.readAll();
        if (!said.startsWith("HTTP/1.1 400") || said.contains("Connection: close"))
            failure = QStringLiteral("the door did not take the request whole: ") +
                      QString::fromUtf8(said.left(300));
    }
    if (!failure.isEmpty()) {
        bench.fail(failure);
        return {};
    }

    QStringList quarters;
    QJsonArray figures;
    for (const double us : perPieceUs) {
        quarters << QString::number(us, 'f', 1);
        figures << us;
    }
    const double growth = perPieceUs.last() / perPieceUs.first();
    bench.report().addInfo(
        QStringLiteral("Service door, a chunked body in %1 pieces: CPU per piece by quarter")
            .arg(kQuarters * kPiecesPerQuarter),
        quarters.join(QStringLiteral(" / ")) + QStringLiteral(" µs"));
    bench.report().addTarget(QStringLiteral("Service door, CPU per piece, fourth quarter over first"), growth,
                             kGrowthLimit, QStringLiteral("×"), 2);
    return {{QStringLiteral("cpu_per_piece_us"), figures}, {QStringLiteral("growth"), growth}};
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({47, QStringLiteral("door-pieces"), QStringLiteral("door_pieces"), measureDoorPieces});

} // namespace
