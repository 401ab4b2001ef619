#pragma once

#include <QString>

// The alert conditions as the settings hold them at this moment. The alert filter
// takes a fresh copy for every decision, so a change on a settings screen applies
// to the next telegram.
struct TAlertConditions
{
    bool UseJmaDrill = false;  // accept JMA drill telegrams
    int DataAccuracy = 1;      // 0: one observation point is enough, 1: two or more; -1: nothing selected
    bool UseDepth = false;     // include deep earthquakes
    bool UseSIScale = true;    // use the intensity condition
    int SIScaleIndex = 3;      // index into the intensity class list, -1 when nothing is selected
    int SIScaleThreshold = 30; // number of the selected class (0, 10, ... 70); -1 when nothing is selected
    // Label of the selected class, e.g. "震度５弱"; empty when nothing is selected.
    QString SIScaleLabel = QStringLiteral("震度３");
    bool UseMg = false;          // use the magnitude condition
    int MomentMgPosition = 0;    // 0 to 19; the minimum magnitude is position * 0.5
    bool UseOrCondition = false; // combine the conditions with OR instead of AND

    // The minimum magnitude the position stands for.
    double MinMagnitude() const { return MomentMgPosition * 0.5; }

    // False when no telegram can ever pass the intensity and magnitude conditions as
    // the alert filter combines them: an intensity condition without a class is never
    // met, AND needs at least one condition in use and all of them met, OR needs one.
    bool CanEverBeMet() const
    {
        const bool siUsable = UseSIScale && SIScaleThreshold >= 0;
        if (UseOrCondition) {
            return siUsable || UseMg;
        }
        return (UseSIScale || UseMg) && (siUsable || !UseSIScale);
    }
};
