// The three-state check boxes of the schedule grid and the operator's clicks on them.
#include "ScheduleCheckBox.h"

#include <QMouseEvent>

ScheduleCheckBox::ScheduleCheckBox(QWidget* parent) : QCheckBox(parent) {
    setTristate(true);
}

CheckState ScheduleCheckBox::state() const {
    switch (checkState()) {
    case Qt::Checked:
        return CheckState::Ticked;
    case Qt::PartiallyChecked:
        return CheckState::Grey;
    case Qt::Unchecked:
        break;
    }
    return CheckState::Clear;
}

void ScheduleCheckBox::setState(CheckState state) {
    switch (state) {
    case CheckState::Ticked:
        setCheckState(Qt::Checked);
        break;
    case CheckState::Grey:
        setCheckState(Qt::PartiallyChecked);
        break;
    case CheckState::Clear:
        setCheckState(Qt::Unchecked);
        break;
    }
}

void ScheduleCheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
}

void ScheduleCheckBox::mousePressEvent(QMouseEvent* event) {
    m_stateAtPress = state();
    QCheckBox::mousePressEvent(event);
}

void ScheduleCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    QCheckBox::mouseReleaseEvent(event);
    if (state() != m_stateAtPress)
        emit changedByMouse(m_stateAtPress);
}
