#pragma once
// The Windows hook thread's watchers, each with a message-only window of its own on that thread.

namespace clackery {

struct KeyRing;

// Keyboard raw input, which the system delivers apart from the hook chain and never times out:
// a transition it sees and the hook does not means the hook is gone (see witness_match.h).
void start_raw_key_witness(KeyRing &ring);
void stop_raw_key_witness(KeyRing &ring);

// Session changes (lock, user switch) and power (suspend, resume), and foreground changes for
// the elevated-window check.
void start_session_watch(KeyRing &ring);
void stop_session_watch(KeyRing &ring);

} // namespace clackery
