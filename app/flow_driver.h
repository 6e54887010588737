#pragma once
// What the main window drives: the install flow, started once and stepped by the 200 ms timer.

#include "app/flow_view.h"

class FlowDriver {
public:
    virtual ~FlowDriver() = default;

    // Called by the main window's initialisation, before its timer starts: the flow enters
    // Requesting and shows its first status text through the view, which it keeps for the run.
    virtual void Start(FlowView& view) = 0;

    // One tick of the 200 ms timer.
    virtual void Tick() = 0;

    // True in the final states (Stopped after the third failed extraction, Launching once the
    // game start was attempted), in which the player may close the window.
    virtual bool IsFinished() const = 0;
};
