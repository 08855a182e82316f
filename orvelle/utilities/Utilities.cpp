// The two utilities of the display-controls library: the message pump and the voice test, on
// QtCore alone.
#include "Utilities.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

#include "AmbrelLoader.h"

extern "C" int DoEvents()
{
    // Without a dispatcher the thread has no queue; processEvents would be a no-op anyway.
    if (!QAbstractEventDispatcher::instance())
        return 0;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

// Voice works where the voice library and its SIP engine load; a station without a sound card can
// still carry calls in file mode, so no device is required here.
extern "C" int GetVoiceEnableOS()
{
    return AmbrelLoad() ? 1 : 0;
}
