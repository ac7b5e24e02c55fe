#include "SimWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <climits>
#include <unistd.h>

bool SimWindow::startSimulator(const QStringList& options) {
    m_sim = std::make_unique<SimProcess>();
    if (!m_sim->start(options + QStringList{QStringLiteral("--persist")})) {
        qWarning("the simulator did not start: %s", qPrintable(m_sim->standardError()));
        return false;
    }
    qputenv("VARO_CLOCK_COM16", m_sim->device().toLocal8Bit());
    return true;
}

bool SimWindow::start(const QStringList& options) {
    return startSimulator(options) && openWindow();
}

bool SimWindow::openWindow() {
    ui.window.reset();
    ui.dialogs.takeTexts();
    Form1Seams seams = m_production.seams();
    seams.clockSetter = &ui.clockSetter;
    seams.recordFolder = recordFolder();
    ui.window = std::make_unique<Form1>(seams);
    ui.window->show();

    const QString chosen = combo(QStringLiteral("Combo1"))->currentText();
    if (chosen != QStringLiteral("Com%1").arg(kPort)) {
        qWarning("the port list chose \"%s\" instead of Com%d", qPrintable(chosen), kPort);
        return false;
    }
    if (!holdsOpen(m_sim->device())) {
        qWarning("the window does not hold %s open", qPrintable(m_sim->device()));
        return false;
    }
    if (!ui.dialogs.messages().isEmpty()) {
        qWarning("start-up showed \"%s\"", qPrintable(ui.dialogs.messages().first().text));
        return false;
    }
    return true;
}

bool SimWindow::holdsOpen(const QString& device) {
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& name : descriptors.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[PATH_MAX];
        const ssize_t length =
            ::readlink(QFile::encodeName(descriptors.filePath(name)).constData(), target, sizeof target);
        if (length > 0 && QFile::decodeName(QByteArray(target, int(length))) == device)
            return true;
    }
    return false;
}

qint64 SimWindow::click(const QString& button) {
    // An idle window takes in what the line delivered before the operator's
    // click.
    QCoreApplication::processEvents();
    QElapsedTimer running;
    running.start();
    ui.click(button);
    return running.elapsed();
}

void SimWindow::chooseSearch() {
    QComboBox* ports = combo(QStringLiteral("Combo1"));
    ports->setCurrentIndex(ports->findText(QStringLiteral("Search")));
    emit ports->activated(ports->currentIndex());
}

QComboBox* SimWindow::combo(const QString& name) const {
    return ui.find<QComboBox>(name);
}
