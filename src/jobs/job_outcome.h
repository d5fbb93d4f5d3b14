#pragma once
#include <string>
#include <vector>

// A record an operation could not handle, named the way its messages name it.
struct SRecordProblem {
    int id = 0;
    int index = -1;  // element of an array item, -1 for a plain item
    std::string name;
    std::string reason;
};

// Something that went right but deserves telling (records kept aside, values left out);
// the front end shows the notes of an operation together, after it.
struct SNote {
    enum class EKind { Information, Warning };
    EKind kind = EKind::Information;
    std::string text;
};

// How a job or a document operation ended. Completed means everything asked for was done;
// a run with failed or refused records is Failed even though it ran to its end.
struct [[nodiscard]] SOutcome {
    enum class EState { Completed, Stopped, Failed };

    EState state = EState::Completed;
    std::string reason;                   // why it stopped or failed, one sentence; may be empty
    std::vector<SRecordProblem> failed;   // records that could not be handled
    std::vector<SRecordProblem> refused;  // records the other side refused (write protected)
    std::vector<SNote> notes;
    std::string caption;                  // of the message telling the reason; empty: the program's title
    int records = 0;                      // active records a completed load or save took or wrote

    static SOutcome Done() { return {}; }
    static SOutcome Stop(std::string why = {}) { return {EState::Stopped, std::move(why), {}, {}, {}, {}}; }
    static SOutcome Fail(std::string why = {}) { return {EState::Failed, std::move(why), {}, {}, {}, {}}; }

    bool IsCompleted() const { return state == EState::Completed; }
    bool IsStopped() const { return state == EState::Stopped; }
    bool IsFailed() const { return state == EState::Failed; }
    void Note(std::string text, SNote::EKind kind = SNote::EKind::Information) {
        notes.push_back({kind, std::move(text)});
    }
    // The notes of other, after this one's (an operation made of steps).
    void TakeNotes(SOutcome& other) {
        for (SNote& n : other.notes) notes.push_back(std::move(n));
        other.notes.clear();
    }
};
