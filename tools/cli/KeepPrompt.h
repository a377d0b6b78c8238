#pragma once

#include <ostream>

#include "core/ConfirmApply.h"

namespace quorv::cli {

// While it lives, SIGINT, SIGTERM and SIGHUP no longer end qic but are noted, so that a
// pending change is restored at once rather than left to the watchdog's deadline. Only one
// may live at a time.
class SignalWatch {
  public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Readable once one of the signals came.
    int Fd() const;
    bool Caught() const;
};

// Whether both standard input and output are a terminal, where someone can answer.
bool CanAskOnTerminal();

// Asks "Keep these settings? [y/N]" on the terminal after the check lines, in the texts'
// language, on err; where err is a terminal the seconds left count down in place. "y" or "yes"
// keeps; any other line, end of input, a hang-up or a signal the watch caught answers Restore; no
// answer in question.secondsLeft, TimedOut.
apply::KeepAnswer AskOnTerminal(const apply::KeepQuestion& question, const apply::SafeTexts& texts,
                                const SignalWatch& signals, std::ostream& err);

}  // namespace quorv::cli
