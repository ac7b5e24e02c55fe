#pragma once

#include "schedule/GroupRow.h"

#include <QCheckBox>

// A schedule check box with the three states clear, ticked and grey. The
// operator's click only ever sets clear or ticked (a grey box becomes clear);
// grey comes from the form defaults and from settings files.
class ScheduleCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit ScheduleCheckBox(QWidget* parent = nullptr);

    CheckState state() const;
    void setState(CheckState state);

signals:
    // The operator's mouse changed the state; `previous` is the state before.
    void changedByMouse(CheckState previous);

protected:
    void nextCheckState() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CheckState m_stateAtPress = CheckState::Clear;
};
