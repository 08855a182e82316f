// Session server thread (placeholder until the session server lands).
#include "Brenlow.h"
#include "RadioState.h"

unsigned CBrenlow::ThreadSock(void* state) {
    auto& s = *static_cast<brenlow::RadioState*>(state);
    s.sockThreadAlive = 1;
    while (s.sockThreadRun.load()) s.socketServer.WaitEvent(1000);
    s.sockThreadAlive = 0;
    return 0;
}
