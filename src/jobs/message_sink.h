#pragma once
#include <string>

// The program's title: the caption of most message boxes.
inline constexpr const char* kAppTitle = "Tessiva";

// Plain: a message box without an icon.
enum class EMessageIcon { Error, Warning, Information, Plain };

// Message boxes and Yes/No questions. The desktop program shows them as dialogs, the
// command-line tool prints them. Callable from any thread; returns once answered.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text, EMessageIcon icon,
                             const std::string& caption = kAppTitle) = 0;
    // Yes/No with the warning icon; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption = kAppTitle) = 0;
};
