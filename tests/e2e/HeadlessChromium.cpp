#include "HeadlessChromium.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

HeadlessChromium::HeadlessChromium() {
    // A test that dies must not leave a browser behind.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    QObject::connect(&m_devtools, &QWebSocket::textMessageReceived, &m_devtools,
                     [this](const QString& message) { take(message); });
}

HeadlessChromium::~HeadlessChromium() {
    m_process.terminate();
    m_process.waitForFinished();
}

bool HeadlessChromium::open(const QUrl& url) {
    // As root, without a sandbox; nothing fetched but the page.
    m_process.start(program(),
                    {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + m_profile.path(), "--remote-debugging-port=0", "about:blank"});
    // Its port and the browser's path, once it listens.
    QFile activePort(m_profile.filePath("DevToolsActivePort"));
    QByteArrayList lines;
    const auto listening = [&] {
        if (activePort.open(QIODevice::ReadOnly))
            lines = activePort.readAll().split('\n');
        activePort.close();
        return lines.size() >= 2 && lines.at(1).startsWith('/');
    };
    if (!QTest::qWaitFor(listening, 20000))
        return false;
    m_devtools.open(QUrl(QString("ws://127.0.0.1:%1%2").arg(lines.at(0), lines.at(1))));
    if (!QTest::qWaitFor([this] { return m_devtools.state() == QAbstractSocket::ConnectedState; }))
        return false;
    const QJsonObject target = call("Target.createTarget", {{"url", "about:blank"}});
    m_session =
        call("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}})["sessionId"]
            .toString();
    call("Runtime.enable");
    call("Log.enable");
    return call("Page.navigate", {{"url", url.toString()}}).contains("frameId");
}

QJsonValue HeadlessChromium::evaluate(const QString& expression) {
    const QJsonObject result = call(
        "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    return result["result"]["value"];
}

bool HeadlessChromium::waitUntil(const QString& expression, int timeoutMs) {
    return QTest::qWaitFor([&] { return evaluate(expression).toBool(); }, timeoutMs);
}

bool HeadlessChromium::screenshot(int width, int height, bool mobile, const QString& file) {
    call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
    const QByteArray png =
        QByteArray::fromBase64(call("Page.captureScreenshot")["data"].toString().toLatin1());
    QFile out(file);
    return !png.isEmpty() && out.open(QIODevice::WriteOnly) && out.write(png) == png.size();
}

QJsonObject HeadlessChromium::call(const QString& method, const QJsonObject& params) {
    const int id = ++m_lastId;
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!m_session.isEmpty())
        message.insert("sessionId", m_session);
    m_devtools.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    if (!QTest::qWaitFor([&] { return m_answers.contains(id); }, 10000))
        m_errors << method + ": no answer";
    const QJsonObject answer = m_answers.take(id);
    if (answer.contains("error"))
        m_errors << method + ": " + answer["error"]["message"].toString();
    return answer["result"].toObject();
}

void HeadlessChromium::take(const QString& text) {
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const QJsonValue params = message["params"];
    if (message.contains("id"))
        m_answers.insert(message["id"].toInt(), message);
    else if (message["method"] == "Runtime.exceptionThrown")
        m_errors << params["exceptionDetails"]["exception"]["description"].toString();
    else if (message["method"] == "Log.entryAdded" && params["entry"]["level"] == "error" &&
             params["entry"]["source"] != "network")
        m_errors << params["entry"]["text"].toString();
}
