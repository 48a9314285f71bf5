#pragma once
// Interruption: how a run that changes files ends when it is interrupted (SIGINT from the terminal, SIGTERM
// or SIGHUP from the system).
//
// While no change is under way the signal ends the process at once, as it always does. Once a run has
// begun to record its changes (its journal is open), the first signal is only noted: the run makes no
// further change (the journal refuses the next one, RunJournal::stopped), reports and logs what it did,
// and the process then ends by that same signal, so that a shell sees it was interrupted and stops its
// own loop. A second signal ends the process at once; the journal then tells undo what was made.

namespace quodrix {

class Interruption {
public:
    // Catches the three signals for the life of the process; one ignored from the start (a job started in
    // the background without job control) stays ignored. Called by main before any work.
    static void catchSignals();
    // Whether a first signal is noted (changes are under way) or ends the process.
    static void setChangesUnderWay(bool underWay);
    // The signal noted, 0 when none was.
    static int noted();
    // "the run was interrupted (SIGINT)" for the signal noted.
    static char const* cause();
    // Ends the process by the signal noted, with the standard streams flushed, as the signal would have
    // ended it; returns when none was noted.
    static void endByNotedSignal();
};

}
