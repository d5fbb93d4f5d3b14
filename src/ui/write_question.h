#pragma once
#include <string>

class IMessageSink;

// The answers to a question asked before a write to a phone.
enum class EWriteChoice { Yes, No, Cancel };

// A question before a write to a phone: Cancel is the default and Escape's answer; No (a
// second way to go on) is offered only with withNo.
class IWriteQuestion {
public:
    virtual ~IWriteQuestion() = default;
    virtual EWriteChoice AskBeforeWrite(const std::string& text, bool withNo, const std::string& caption) = 0;
};

// The question through messages: as its own box where the sink has one, else as Yes or No
// (No is Cancel without withNo).
EWriteChoice AskBeforeWrite(IMessageSink& messages, const std::string& text, bool withNo = false);
