#pragma once
#include <string>

// The overwrite prompt of a merge. Ask shows message and returns the answer code; an
// answer closed without a button (Escape) returns the last answer of this prompt object,
// Overwrite when there was none.
class IOverwritePrompt {
public:
    enum EAnswer { kOverwrite = 0, kOverwriteAll = 1, kSkip = -1, kSkipAll = -2 };
    virtual ~IOverwritePrompt() = default;
    virtual int Ask(const std::string& message) = 0;
};
