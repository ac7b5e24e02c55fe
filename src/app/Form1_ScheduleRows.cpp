// The schedule grid: reading and showing rows, the derived start times and
// the static rule.
#include "Form1.h"
#include "ScheduleCheckBox.h"
#include "common/RuntimeError.h"
#include "schedule/TimeText.h"
#include "ui_Form1.h"

#include <QLineEdit>

int Form1::ClockListIndex() const {
    // A text typed over the list that names no entry selects no countdown clock.
    return ui->Combo2->findText(ui->Combo2->currentText(), Qt::MatchExactly);
}

GroupRow Form1::ReadRow(int row) const {
    const RowWidgets& widgets = m_rows[row - 1];
    GroupRow content;
    content.Valid = widgets.valid->state();
    content.StartTime = widgets.start->text();
    content.CountdownLength = widgets.length->text();
    content.RefreshTime = widgets.refresh->text();
    content.StaticFlag = widgets.staticFlag->state();
    content.IgnoreHours = widgets.ignoreHours->state();
    return content;
}

void Form1::ShowRow(int row, const GroupRow& content) {
    const RowWidgets& widgets = m_rows[row - 1];
    widgets.valid->setState(content.Valid);
    widgets.refresh->setText(content.RefreshTime);
    widgets.ignoreHours->setState(content.IgnoreHours);
    widgets.staticFlag->setState(content.StaticFlag);
    widgets.length->setText(content.CountdownLength);
}

void Form1::RecomputeStartTimes() {
    for (const RowWidgets& widgets : m_rows) {
        if (widgets.staticFlag->state() == CheckState::Clear) {
            widgets.length->setVisible(true);
            const QTime start = TimeText::add(TimeText::toTime(widgets.refresh->text()),
                                              TimeText::toTime(widgets.length->text()));
            widgets.start->setText(TimeText::format(start));
        } else {
            // A static row keeps its start time in the hidden length box.
            widgets.length->setVisible(false);
            widgets.start->setText(widgets.length->text());
        }
    }
}

void Form1::ApplyStaticRule(int row, CheckState previous) {
    const RowWidgets& widgets = m_rows[row - 1];
    try {
        if (widgets.staticFlag->state() == CheckState::Clear) {
            // Back to the normal form: the length is start - refresh.
            const QTime length = TimeText::subtract(TimeText::toTime(widgets.start->text()),
                                                    TimeText::toTime(widgets.refresh->text()));
            widgets.length->setVisible(true);
            widgets.length->setText(TimeText::format(length));
        } else {
            // To the static form: the length folds into the refresh time and the
            // start time is parked in the hidden length box.
            const QTime refresh = TimeText::subtract(TimeText::toTime(widgets.start->text()),
                                                     TimeText::toTime(widgets.length->text()));
            widgets.length->setVisible(false);
            widgets.refresh->setText(TimeText::format(refresh));
            widgets.length->setText(widgets.start->text());
        }
    } catch (const RuntimeError& error) {
        // Leave the row as it was, box included, so that it stays consistent.
        widgets.staticFlag->setState(previous);
        ShowErrorReport(error);
    }
}
