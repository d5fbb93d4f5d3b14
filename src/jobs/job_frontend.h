#pragma once

class CJobControl;

// What shows a running job to the user: the progress dialog or a console bar.
class IJobFrontend {
public:
    virtual ~IJobFrontend() = default;
    // Called by the starter. Shows the job (caption from control.Caption()) and returns
    // only once control.IsEnded() is true, even if the end came before anything was shown.
    // A frontend that runs jobs inline runs the job here, by control.RunJobHere().
    virtual void RunModal(CJobControl& control) = 0;
    // False: the job runs on a worker thread while RunModal shows it (a window must keep its
    // event loop). True: on the starter's own thread, inside RunModal, the frontend drawing
    // from the calls below. A console has nothing else to do, and one thread is cheaper:
    // while a second thread lives, each round trip to the phone takes longer (a window-1
    // upload took a fifth more time on Linux 6.18).
    virtual bool RunsJobsInline() const { return false; }
    // Called from the job's thread.
    virtual void OnRange(int high) = 0;  // the bar runs from 1 to high
    virtual void OnPosition(int position) = 0;
    virtual void OnCancelEnabled() = 0;
    virtual void OnJobEnded(bool completed) = 0;
};
