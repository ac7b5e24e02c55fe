// The schedule grid: form defaults, derived start times and the static rule.
#include "Form1Harness.h"
#include "app/ScheduleCheckBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

class ScheduleRulesTest : public GuiTest {
    Q_OBJECT

private:
    static ScheduleCheckBox* staticBox(const Form1Harness& h, int row) {
        return h.find<ScheduleCheckBox>(QStringLiteral("Check1%1").arg(row));
    }
    // The operator's mouse on the static box of a row.
    static void clickStatic(const Form1Harness& h, int row) {
        ScheduleCheckBox* check = staticBox(h, row);
        QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
    }
    // Row 2 of the form defaults made into a given normal row.
    static void setRow(Form1Harness& h, int row, const QString& start, const QString& length,
                       const QString& refresh) {
        h.box("2", row)->setText(start);
        h.box("3", row)->setText(length);
        h.box("4", row)->setText(refresh);
    }

private slots:
    void startUpDerivesStartTimes() {
        Form1Harness h;
        Form1& w = h.start();
        w.show();
        const char* expected[] = {"08:00:00", "08:00:00", "11:00:00", "11:00:00",
                                  "12:00:00", "21:00:00", "01:00:00", "18:30:00"};
        for (int row = 1; row <= 8; ++row) {
            QCOMPARE(h.box("2", row)->text(), QLatin1String(expected[row - 1]));
            const bool staticRow = row == 1 || row == 3 || row == 7;
            QCOMPARE(h.box("3", row)->isVisible(), !staticRow);
        }
        QCOMPARE(h.find<ScheduleCheckBox>(QStringLiteral("Check4"))->state(), CheckState::Grey);
        QCOMPARE(h.find<ScheduleCheckBox>(QStringLiteral("Check6"))->state(), CheckState::Clear);
        QVERIFY(!h.box("4", 1)->isEnabled());
    }

    void tickingFoldsLengthIntoRefresh_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("refresh");
        QTest::addColumn<QString>("newRefresh");
        QTest::newRow("changed start") << "09:00:00"
                                       << "00:30:00"
                                       << "08:00:00"
                                       << "08:30:00";
        QTest::newRow("wraps before midnight") << "00:15:00"
                                               << "00:30:00"
                                               << "23:45:00"
                                               << "23:45:00";
    }
    void tickingFoldsLengthIntoRefresh() {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(QString, refresh);
        QFETCH(QString, newRefresh);
        Form1Harness h;
        h.start().show();
        setRow(h, 2, start, length, refresh);
        clickStatic(h, 2);
        QCOMPARE(staticBox(h, 2)->state(), CheckState::Ticked);
        QCOMPARE(h.box("4", 2)->text(), newRefresh);
        QCOMPARE(h.box("3", 2)->text(), start);
        QVERIFY(!h.box("3", 2)->isVisible());
        QCOMPARE(h.box("2", 2)->text(), start);
    }

    void untickingRestoresLength_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("refresh");
        QTest::addColumn<QString>("length");
        QTest::newRow("half an hour") << "09:00:00"
                                      << "08:30:00"
                                      << "00:30:00";
        QTest::newRow("start equals refresh") << "08:30:00"
                                              << "08:30:00"
                                              << "00:00:00";
    }
    void untickingRestoresLength() {
        QFETCH(QString, start);
        QFETCH(QString, refresh);
        QFETCH(QString, length);
        Form1Harness h;
        h.start().show();
        h.box("2", 1)->setText(start);
        h.box("4", 1)->setText(refresh);
        clickStatic(h, 1);
        QCOMPARE(staticBox(h, 1)->state(), CheckState::Clear);
        QVERIFY(h.box("3", 1)->isVisible());
        QCOMPARE(h.box("3", 1)->text(), length);
        QCOMPARE(h.box("4", 1)->text(), refresh);
    }

    void releaseWithoutChangeLeavesStaticRowAlone() {
        Form1Harness h;
        h.start().show();
        ScheduleCheckBox* check = staticBox(h, 1);
        // Pressed on the box, released outside it: no change, so no rule.
        QTest::mousePress(check, Qt::LeftButton, {}, check->rect().center());
        QTest::mouseRelease(check, Qt::LeftButton, {}, QPoint(-50, -50));
        QCOMPARE(check->state(), CheckState::Ticked);
        QCOMPARE(h.box("4", 1)->text(), QStringLiteral("07:00:00"));
        QCOMPARE(h.box("3", 1)->text(), QStringLiteral("08:00:00"));
    }

    void ruleWithBadTextLeavesRowUnchanged() {
        Form1Harness h;
        h.start().show();
        setRow(h, 2, QStringLiteral("later"), QStringLiteral("00:30:00"), QStringLiteral("07:30:00"));
        clickStatic(h, 2);
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Writing Error 13:Type mismatch")});
        QCOMPARE(staticBox(h, 2)->state(), CheckState::Clear);
        QVERIFY(h.box("3", 2)->isVisible());
        QCOMPARE(h.box("3", 2)->text(), QStringLiteral("00:30:00"));
        QCOMPARE(h.box("4", 2)->text(), QStringLiteral("07:30:00"));
    }

    void greyBoxClickedBecomesClear() {
        Form1Harness h;
        h.start().show();
        auto* valid = h.find<ScheduleCheckBox>(QStringLiteral("Check4"));
        QTest::mouseClick(valid, Qt::LeftButton, {}, QPoint(8, valid->height() / 2));
        QCOMPARE(valid->state(), CheckState::Clear);
        QTest::mouseClick(valid, Qt::LeftButton, {}, QPoint(8, valid->height() / 2));
        QCOMPARE(valid->state(), CheckState::Ticked);
    }

    void changingClockLeavesRows() {
        Form1Harness h;
        h.start();
        const QString before = h.box("4", 6)->text() + h.box("3", 6)->text() + h.box("2", 6)->text();
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo2"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(h.box("4", 6)->text() + h.box("3", 6)->text() + h.box("2", 6)->text(), before);
    }
};

QTEST_MAIN(ScheduleRulesTest)
#include "tst_schedule_rules.moc"
