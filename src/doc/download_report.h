#pragma once
#include "jobs/job_outcome.h"

#include <cstdint>
#include <string>
#include <vector>

// What a download, a restore or a backup of the whole phone did to each record and item file,
// and where the phone's previous values were saved. The window shows it as a table, the CLI
// prints it and saves it as JSON.
class CDownloadReport {
public:
    enum class EResult {
        Verified,    // written, and read back equal
        Written,     // written; verification was off
        Protected,   // the phone refused it as write protected
        Failed,      // no reply, a status word, a read-back that differs; for a backup: not read
        NotWritten,  // not sent: stopped, no backup of it, or the link failed before it
        NotBackedUp, // the backup lacks its current value (unread, or not active on the phone)
        Read,        // a backup of the phone holds it
        Unchanged    // the phone held that value already: not written
    };
    enum class EOperation { Download, Restore, Backup };
    // What a row stands for; the summary counts each apart.
    enum class EKind { Record, SubscriptionRecord, File };
    struct SRow {
        int id = 0;
        int index = -1;
        std::string name;
        EResult result = EResult::NotWritten;
        std::string detail;
        int subscription = 0;
        std::string path;  // an item file's; the record fields are unused then
        bool file = false; // a file's row, whatever its path (a backup's may be empty)
        EKind Kind() const {
            return file ? EKind::File : subscription > 0 ? EKind::SubscriptionRecord : EKind::Record;
        }
    };

    void Add(int id, int index, const std::string& name, EResult result, std::string detail = {});
    void AddRecord(int subscription, int id, int index, const std::string& name, EResult result,
                   std::string detail = {});
    void AddFile(const std::string& path, EResult result, std::string detail = {});
    const std::vector<SRow>& Rows() const { return m_rows; }
    // Records or files the download leaves out by its meaning, counted by reason.
    void Skip(const std::string& reason, int count);
    int Count(EResult result) const;
    int Count(EResult result, EKind kind) const;
    // Rows of result, in the order they were added.
    std::vector<SRow> RowsOf(EResult result) const;

    EOperation operation = EOperation::Download;
    std::string backupPath;   // empty when no backup was made
    std::string backupError;  // why the backup could not be saved; nothing was written then
    bool stopped = false;
    std::string filesError;   // why no item file could be read or written (no file system)
    std::vector<std::pair<std::string, int>> skipped;  // reason, count
    std::string headline;                 // said before the summary (an incomplete backup kept aside)
    std::vector<std::string> notes;       // sentences of their own: a sync refused, a folder not listed
    std::string syncError;                // why the phone's file system could not be synced
    std::vector<std::string> putBack;     // files whose failed write was undone from the backup
    std::vector<std::pair<std::string, std::string>> notPutBack;  // path, why it could not be undone

    // One sentence: what was written, verified, refused and failed.
    std::string Summary() const;
    // Where the phone's previous values were saved; empty without a backup.
    std::string BackupLine() const;
    // The summary, the backup, the notes, then one line per kind of outcome that is not
    // simply fine (result and reason), with its count and the first few names.
    std::vector<std::string> Lines() const;
    // Which files a failed write left with their old content again, and which it could not.
    std::vector<std::string> PutBackLines() const;
    // Tab-separated: a heading line, then every row (the window's "Copy").
    std::string TableText() const;
    std::string Json() const;
    // The outcome a caller of the download gets: failed and refused records included; failed
    // too when records were left unwritten without a stop, or a backup's were not read.
    SOutcome Outcome() const;

    static std::string ResultText(EResult result);
    // A row's result as this report tells it: what a backup read is "backed up" only once saved.
    std::string RowResultText(EResult result) const;
    static std::string ProtectedText(const std::string& name);
    // Reasons the download, the restore and the backup give alike.
    static std::string StatusText(uint16_t status);
    static std::string NotAttemptedText();
    // The first few names and how many more: "A, B, C and 4 more".
    static std::string FewNames(const std::vector<std::string>& names);
    static std::string ReadBackFailedText(const std::string& error);
    static std::string ReadBackAnsweredText(uint16_t status);
    static std::string ReadBackDiffersText();

private:
    // A restore's or a backup's summary: records, subscription records and files apart.
    std::string WholePhoneSummary() const;

    std::vector<SRow> m_rows;
};
