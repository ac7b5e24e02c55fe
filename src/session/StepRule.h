#pragma once

#include <QtGlobal>
#include <functional>

// How far the computer's clock may move from a time frame without asking: a
// step up to `largestUnaskedUs` is taken as it comes; a larger one (a master
// clock set to a wrong time, a typo) only when `approve` says yes, and never
// without it.
struct StepRule {
    qint64 largestUnaskedUs = 60'000'000;
    // Asked with the step: the master clock minus the computer's clock.
    std::function<bool(qint64 offsetUs)> approve;

    bool allows(qint64 offsetUs) const {
        return qAbs(offsetUs) <= largestUnaskedUs || (approve && approve(offsetUs));
    }
};
