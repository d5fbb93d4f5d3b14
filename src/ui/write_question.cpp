#include "ui/write_question.h"

#include "jobs/message_sink.h"

EWriteChoice AskBeforeWrite(IMessageSink& messages, const std::string& text, bool withNo) {
    if (auto* question = dynamic_cast<IWriteQuestion*>(&messages)) return question->AskBeforeWrite(text, withNo, kAppTitle);
    if (messages.AskYesNo(text)) return EWriteChoice::Yes;
    return withNo ? EWriteChoice::No : EWriteChoice::Cancel;
}
