// Command routing: every window, document and the application answer command ids
// through OnCmdMsg. The main frame routes an id to the active drawing view, its
// document, its child frame, itself and the application, in that order; the first
// target that handles it ends the routing.
//
// With `ui` null the command runs; with `ui` given the target is asked whether it
// handles the id and may enable, disable or check the item. A target that returns
// true for an update without touching `ui` leaves the item enabled.
#pragma once

struct CCmdUI {
    int id = 0;
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on = true) {
        checked = on;
        checkable = true;
    }
};

class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;
    // True when handled (for an update: when this target decides the item's state).
    virtual bool OnCmdMsg(int id, CCmdUI* ui) = 0;
};
