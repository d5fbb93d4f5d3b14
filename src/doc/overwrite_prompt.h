#pragma once
#include <string>

// The overwrite prompt of a merge. Ask shows message and returns the answer code. A prompt
// closed without a button (Escape, the close button) keeps the record in memory: Skip.
// Cancel stops the whole merge, leaving the records as they were.
class IOverwritePrompt {
public:
    enum EAnswer { kOverwrite = 0, kOverwriteAll = 1, kSkip = -1, kSkipAll = -2, kCancel = -3 };
    virtual ~IOverwritePrompt() = default;
    virtual int Ask(const std::string& message) = 0;
};
