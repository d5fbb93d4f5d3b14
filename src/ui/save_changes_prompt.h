#pragma once
#include <string>

// The question asked before unsaved changes would be lost: Save, Discard or Cancel.
enum class ESaveChoice { Save, Discard, Cancel };

class ISaveChangesPrompt {
public:
    virtual ~ISaveChangesPrompt() = default;
    virtual ESaveChoice AskSaveChanges(const std::string& text, const std::string& caption) = 0;
};
