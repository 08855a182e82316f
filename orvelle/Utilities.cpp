// The two utilities of the display-controls library: the message pump and the voice test.
#include "Utilities.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

extern "C" int DoEvents()
{
    // Without a dispatcher the thread has no queue; processEvents would be a no-op anyway.
    if (!QAbstractEventDispatcher::instance())
        return 0;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

extern "C" int GetVoiceEnableOS()
{
    return 0;
}
