// What an SMB helper tells the program goes on a descriptor of its own. Samba's client
// library prints its messages on standard output (from the loading of its settings on:
// "Ignoring unknown parameter", a bad signature, ...), and none of that may ever be read
// as an answer: it goes where the helper's own messages go, standard error (the
// program's, the journal).
#pragma once

#include <string>

namespace vt::posix {

// First thing in a helper: moves the answer channel (standard output as the program
// started the helper) to a descriptor of its own, close-on-exec, and points standard
// output at standard error. The channel's descriptor, or -1 when it cannot be had.
int TakeAnswerChannel();

// Writes `line` and a line feed on the channel, whole: whether it was written.
bool Answer(int channel, const std::string& line);

}  // namespace vt::posix
