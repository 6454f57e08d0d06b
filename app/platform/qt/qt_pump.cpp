#include "platform/qt/qt_pump.h"

#include <QCoreApplication>

namespace platform {

ThreadPump qtEventPump()
{
    return [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
}

} // namespace platform
