// Start-up, the live clock, About, the port list, the line-speed menu and the
// common error report.
#include "Form1Harness.h"
#include "VaroVersion.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

class WindowShellTest : public GuiTest {
    Q_OBJECT

private:
    static QStringList entries(const Form1Harness& h) {
        QStringList list;
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    }
    static QStringList checkedSpeeds(const Form1Harness& h) {
        QStringList checked;
        for (const char* name : {"B4800", "B9600", "B19200", "B38400"})
            if (h.find<QAction>(QLatin1String(name))->isChecked())
                checked << h.find<QAction>(QLatin1String(name))->text();
        return checked;
    }

private slots:
    void startUpState() {
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.serial.setPort(2, FakeSerialBank::Port::Missing);
        h.serial.setPort(3, FakeSerialBank::Port::Usable);
        h.serial.setPort(4, FakeSerialBank::Port::Busy);
        Form1& w = h.start(QStringLiteral("/opt/varo"));

        QCOMPARE(w.windowTitle(), QStringLiteral("Varo Clock - 9600,n,8,1"));
        QCOMPARE(checkedSpeeds(h), QStringList{QStringLiteral("&9600")});
        QCOMPARE(entries(h), (QStringList{"Com1", "Com3", "Search"}));
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Com3"));
        QCOMPARE(h.serial.openPort(), 3);
        QCOMPARE(h.serial.openSettings().toString(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo2"))->currentIndex(), 0);
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo2"))->currentText(), QStringLiteral("倒计时钟1"));
        QCOMPARE(h.text(QStringLiteral("Label1")), QString());
        QCOMPARE(h.text(QStringLiteral("Text1")), QStringLiteral("12:34:56"));
        QCOMPARE(h.text(QStringLiteral("Text18")), QStringLiteral("10:00:00"));
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    void captionsAndLayout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Command1") << "Command1"
                                  << "北京时间校时" << QRect(424, 32, 105, 25);
        QTest::newRow("Command2") << "Command2"
                                  << "任意时间校时" << QRect(424, 88, 105, 25);
        QTest::newRow("Command3") << "Command3"
                                  << "临时倒计时" << QRect(424, 144, 105, 25);
        QTest::newRow("Command4") << "Command4"
                                  << "打开文件..." << QRect(40, 200, 105, 33);
        QTest::newRow("Command5") << "Command5"
                                  << "保存文件..." << QRect(168, 200, 105, 33);
        QTest::newRow("Command6") << "Command6"
                                  << "读取母钟设置" << QRect(296, 200, 105, 33);
        QTest::newRow("Command7") << "Command7"
                                  << "设置写入母钟" << QRect(424, 200, 105, 33);
        QTest::newRow("Command8") << "Command8"
                                  << "电脑同步于母钟" << QRect(40, 144, 105, 25);
        QTest::newRow("Command9") << "Command9"
                                  << "模拟GPS校时至北京时间+8小时" << QRect(40, 760, 465, 33);
        QTest::newRow("Command10") << "Command10"
                                   << "模拟GPS校时至北京时间+8小时(定位无效)" << QRect(40, 808, 465, 33);
        QTest::newRow("Label6") << "Label6"
                                << "开播时间：" << QRect(152, 152, 81, 17);
        QTest::newRow("Label7") << "Label7"
                                << "有效标识" << QRect(56, 264, 73, 17);
        QTest::newRow("Label18") << "Label18"
                                 << "开播时间" << QRect(136, 264, 89, 17);
        QTest::newRow("Label9") << "Label9"
                                << "倒计时长度" << QRect(248, 264, 89, 17);
        QTest::newRow("Label8") << "Label8"
                                << "刷新时间" << QRect(360, 264, 89, 17);
        QTest::newRow("Label10") << "Label10"
                                 << "静态标识" << QRect(432, 264, 105, 17);
        QTest::newRow("label4") << "label4"
                                << "忽略小时" << QRect(592, 264, 105, 17);
        QTest::newRow("Check1") << "Check1"
                                << "第01组" << QRect(64, 288, 81, 25);
        QTest::newRow("Check8") << "Check8"
                                << "第08组" << QRect(64, 568, 81, 25);
        QTest::newRow("Label2") << "Label2"
                                << "" << QRect(40, 672, 465, 25);
        QTest::newRow("Label3") << "Label3"
                                << "" << QRect(40, 696, 465, 25);
    }
    void captionsAndLayout() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        Form1Harness h;
        h.start();
        QWidget* widget = h.find(name);
        const QVariant text = widget->property("text");
        QCOMPARE(text.toString(), caption);
        QCOMPARE(widget->geometry(), geometry);
    }

    void menusAndClientArea() {
        Form1Harness h;
        Form1& w = h.start();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(h.find<QMenu>(QStringLiteral("Files"))->title(), QStringLiteral("文件(&F)"));
        QCOMPARE(h.find<QMenu>(QStringLiteral("Baud"))->title(), QStringLiteral("波特率(&B)"));
        QCOMPARE(h.find<QMenu>(QStringLiteral("Help"))->title(), QStringLiteral("帮助(&H)"));
        QCOMPARE(h.find<QAction>(QStringLiteral("Exit"))->text(), QStringLiteral("退出(&X)"));
        QCOMPARE(h.find<QAction>(QStringLiteral("About"))->text(), QStringLiteral("关于(&A)"));
        QCOMPARE(w.centralWidget()->size(), QSize(568, 647));
        // The widgets beyond the first view are reached by scrolling.
        auto* area = qobject_cast<QScrollArea*>(w.centralWidget());
        QVERIFY(area);
        QVERIFY(area->widget()->width() >= 697 && area->widget()->height() >= 841);
    }

    void wheelOverAComboBoxScrollsTheWindow_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("port list") << "Combo1";
        QTest::newRow("countdown clock") << "Combo2";
    }
    void wheelOverAComboBoxScrollsTheWindow() {
        QFETCH(QString, name);
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.serial.setPort(2, FakeSerialBank::Port::Usable);
        Form1& w = h.start();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* combo = h.find<QComboBox>(name);
        const int index = combo->currentIndex();
        QScrollBar* scroll = qobject_cast<QScrollArea*>(w.centralWidget())->verticalScrollBar();
        QCOMPARE(scroll->value(), 0);
        h.serial.opens.clear();
        // One notch down, to the widget under the pointer.
        const QPointF at = combo->rect().center();
        QWheelEvent wheel(at, combo->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &wheel);
        QCOMPARE(combo->currentIndex(), index);
        QVERIFY(scroll->value() > 0);
        QCOMPARE(h.serial.opens, QList<int>());
        QVERIFY(!combo->hasFocus());
    }

    void noUsablePort() {
        Form1Harness h;
        h.start();
        QCOMPARE(entries(h), QStringList{QStringLiteral("Search")});
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentIndex(), -1);
        QCOMPARE(h.serial.openPort(), 0);
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    void searchRescansAndOpensLastPort() {
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.start();
        QCOMPARE(h.serial.openPort(), 1);
        h.serial.setPort(5, FakeSerialBank::Port::Usable);
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        combo->setCurrentIndex(combo->findText(QStringLiteral("Search")));
        emit combo->activated(combo->currentIndex());
        QCOMPARE(entries(h), (QStringList{"Com1", "Com5", "Search"}));
        QCOMPARE(h.serial.openPort(), 5);
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    void choosingAPortThatBecameUnusableGivesPrompt_data() {
        QTest::addColumn<FakeSerialBank::Port>("state");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("device removed") << FakeSerialBank::Port::Missing << "8002: Com1 does not exist";
        QTest::newRow("held by another program")
            << FakeSerialBank::Port::Busy << "8010: Com1 is in use by another program: minicom (pid 4242)";
    }
    void choosingAPortThatBecameUnusableGivesPrompt() {
        QFETCH(FakeSerialBank::Port, state);
        QFETCH(QString, prompt);
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.serial.setPort(2, FakeSerialBank::Port::Usable);
        h.start();
        h.serial.setPort(1, state);
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(h.serial.openPort(), 0);
        QCOMPARE(h.dialogs.messages().size(), 1);
        QCOMPARE(h.dialogs.messages()[0].text, prompt);
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Prompt"));
        QCOMPARE(h.dialogs.messages()[0].icon, Dialogs::Icon::Information);
    }

    void lineSpeedWithOpenPort() {
        Form1Harness h;
        h.serial.setPort(3, FakeSerialBank::Port::Usable);
        Form1& w = h.start();
        h.serial.opens.clear();
        h.trigger(QStringLiteral("B19200"));
        QCOMPARE(h.serial.opens, QList<int>{3});
        QCOMPARE(h.serial.openSettings().toString(), QStringLiteral("19200,n,8,1"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Varo Clock - 19200,n,8,1"));
        QCOMPARE(checkedSpeeds(h), QStringList{QStringLiteral("&19200")});
    }

    void lineSpeedWithNoPortPreparesNextOpen() {
        Form1Harness h;
        Form1& w = h.start();
        h.trigger(QStringLiteral("B4800"));
        QCOMPARE(h.serial.openPort(), 0);
        QCOMPARE(w.windowTitle(), QStringLiteral("Varo Clock - 4800,n,8,1"));
        QCOMPARE(checkedSpeeds(h), QStringList{QStringLiteral("&4800")});
        h.serial.setPort(2, FakeSerialBank::Port::Usable);
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        combo->setCurrentIndex(combo->findText(QStringLiteral("Search")));
        emit combo->activated(combo->currentIndex());
        QCOMPARE(h.serial.openPort(), 2);
        QCOMPARE(h.serial.openSettings().baudRate, 4800);
    }

    void choosingTheCheckedSpeedReopens() {
        Form1Harness h;
        h.serial.setPort(3, FakeSerialBank::Port::Usable);
        Form1& w = h.start();
        h.serial.opens.clear();
        h.trigger(QStringLiteral("B9600"));
        QCOMPARE(h.serial.opens, QList<int>{3});
        QCOMPARE(w.windowTitle(), QStringLiteral("Varo Clock - 9600,n,8,1"));
        QCOMPARE(checkedSpeeds(h), QStringList{QStringLiteral("&9600")});
    }

    void reopenFailureAfterSpeedChangeIsReported() {
        Form1Harness h;
        h.serial.setPort(3, FakeSerialBank::Port::Usable);
        h.start();
        h.serial.setPort(3, FakeSerialBank::Port::Missing);
        h.trigger(QStringLiteral("B38400"));
        QCOMPARE(h.serial.openPort(), 0);
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("8002: Com3 does not exist")});
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Prompt"));
    }

    void commonErrorReportOnClosedPort() {
        Form1Harness h;
        h.start();
        h.click(QStringLiteral("Command6"));
        QCOMPARE(h.dialogs.messages().size(), 1);
        QCOMPARE(
            h.dialogs.messages()[0].text,
            QStringLiteral("Writing Error 8018:Operation valid only when the port is open: choose a serial "
                           "port first"));
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Varo_Clock"));
        QCOMPARE(h.dialogs.messages()[0].icon, Dialogs::Icon::None);
        QVERIFY(h.find(QStringLiteral("Command6"))->isEnabled());
    }

    void liveClockTicks() {
        Form1Harness h;
        h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3)));
        h.start();
        QCOMPARE(h.text(QStringLiteral("Label1")), QString());
        QTRY_COMPARE_WITH_TIMEOUT(h.text(QStringLiteral("Label1")), QStringLiteral("09:05:03"), 2000);
        h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59)));
        QTRY_COMPARE_WITH_TIMEOUT(h.text(QStringLiteral("Label1")), QStringLiteral("23:59:59"), 2000);
    }

    void aboutBox() {
        Form1Harness h;
        h.start();
        h.trigger(QStringLiteral("About"));
        QCOMPARE(h.dialogs.messages().size(), 1);
        const QStringList lines = h.dialogs.messages()[0].text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        // The version is PROJECT_VERSION, through the generated header.
        QCOMPARE(lines[0], QStringLiteral("Version: " VARO_VERSION));
        QVERIFY(lines[1].isEmpty() && lines[3].isEmpty());
        QVERIFY(!lines[2].isEmpty() && !lines[4].isEmpty());
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Varo_Clock"));
        QCOMPARE(h.dialogs.messages()[0].icon, Dialogs::Icon::None);
    }

    void exitClosesWindowAndPort() {
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        Form1& w = h.start();
        w.show();
        h.trigger(QStringLiteral("Exit"));
        QVERIFY(!w.isVisible());
        h.window.reset();
        QCOMPARE(h.serial.openPort(), 0);
    }
};

QTEST_MAIN(WindowShellTest)
#include "tst_window_shell.moc"
