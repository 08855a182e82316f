// The display-controls library's two free utilities, exported with plain C names: the message
// pump the host calls inside its waits, and the test whether voice calls can be offered here.
#pragma once

extern "C" {

// Delivers every event pending for the calling thread (posted events, due timers, ready sockets)
// and returns 0. Qt has no per-message queue to take from one message at a time, so there is no
// equivalent of a 100-message limit and the result is never non-zero; a thread without an event
// dispatcher has nothing to deliver and gets 0 at once. Events posted while it runs may wait for
// the next call.
int DoEvents();

// 1 only where the voice-call library can work on this system: it is installed and loads, with its
// SIP engine. The first call loads it; it stays loaded.
int GetVoiceEnableOS();

}
