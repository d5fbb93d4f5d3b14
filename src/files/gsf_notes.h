#pragma once
#include <string>

// libgsf, set up once for the process. Its warnings about a damaged file belong in the
// load's own message, not on stderr: while a scope is open, this thread's warnings are
// collected into the scope's notes.
void InitGsf();

class CGsfNotesScope {
public:
    explicit CGsfNotesScope(std::string& notes);
    ~CGsfNotesScope();
    CGsfNotesScope(const CGsfNotesScope&) = delete;
    CGsfNotesScope& operator=(const CGsfNotesScope&) = delete;

private:
    std::string* m_previous;
};
