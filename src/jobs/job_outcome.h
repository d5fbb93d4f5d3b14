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

// How a job or a document operation ended. Completed means everything asked for was done;
// a run with failed or refused records is Failed even though it ran to its end.
struct [[nodiscard]] SOutcome {
    enum class EState { Completed, Stopped, Failed };

    EState state = EState::Completed;
    std::string reason;                   // why it stopped or failed, one sentence; may be empty
    std::vector<SRecordProblem> failed;   // records that could not be handled
    std::vector<SRecordProblem> refused;  // records the other side refused (write protected)

    static SOutcome Done() { return {}; }
    static SOutcome Stop(std::string why = {}) { return {EState::Stopped, std::move(why), {}, {}}; }
    static SOutcome Fail(std::string why = {}) { return {EState::Failed, std::move(why), {}, {}}; }

    bool IsCompleted() const { return state == EState::Completed; }
    bool IsStopped() const { return state == EState::Stopped; }
    bool IsFailed() const { return state == EState::Failed; }
    // The result of the classic starters: nonzero on success.
    int Result() const { return IsCompleted() ? 1 : 0; }
};
