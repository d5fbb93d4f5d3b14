#pragma once
#include "jobs/message_sink.h"
#include "ui/save_changes_prompt.h"
#include "ui/write_question.h"

#include <QObject>

// Message boxes and stop questions as QMessageBox dialogs. Callable from a job's worker
// thread: the box is shown by the user-interface thread while the worker waits.
class CMessageBoxSink : public QObject, public IMessageSink, public ISaveChangesPrompt, public IWriteQuestion {
    Q_OBJECT
public:
    explicit CMessageBoxSink(QObject* parent = nullptr);

    void ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption = kAppTitle) override;
    bool AskYesNo(const std::string& text, const std::string& caption = kAppTitle) override;
    ESaveChoice AskSaveChanges(const std::string& text, const std::string& caption = kAppTitle) override;
    EWriteChoice AskBeforeWrite(const std::string& text, bool withNo, const std::string& caption = kAppTitle) override;

private:
    // Runs fn on the thread of this object and returns once it has run.
    template <class Fn> void RunOnUiThread(Fn fn);
};
