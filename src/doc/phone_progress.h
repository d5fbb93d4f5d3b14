#pragma once

class CJobControl;

// The progress of a job over the phone's records and item files: one bar over both, and
// the detail line "120 of 2000 records, 3 of 200 files" (the frontend adds the time left).
class CPhoneProgress {
public:
    CPhoneProgress(CJobControl& jobs, int records, int files);
    void RecordDone();
    void FileDone();
    // The files, once known.
    void SetFiles(int files);

private:
    void Show(bool now);

    CJobControl& m_jobs;
    int m_records, m_files;
    int m_recordsDone = 0, m_filesDone = 0;
};
