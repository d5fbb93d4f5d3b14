#pragma once

class CJobControl;

// What shows a running job to the user: the progress dialog or a console bar.
class IJobFrontend {
public:
    virtual ~IJobFrontend() = default;
    // Called by the starter. Shows the job (caption from control.Caption()) and returns
    // only once control.IsEnded() is true, even if the end came before anything was shown.
    virtual void RunModal(CJobControl& control) = 0;
    // Called from the worker thread.
    virtual void OnRange(int high) = 0;  // the bar runs from 1 to high
    virtual void OnPosition(int position) = 0;
    virtual void OnCancelEnabled() = 0;
    virtual void OnJobEnded(bool completed) = 0;
};
