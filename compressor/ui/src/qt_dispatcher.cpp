#include "compressor_ui/qt_dispatcher.h"

#include <QCoreApplication>
#include <QThread>

namespace compressor::ui {

void QtDispatcher::RunSync(const std::function<void()>& function) {
  if (QThread::currentThread() == receiver_.thread()) {
    function();
    return;
  }
  QMetaObject::invokeMethod(&receiver_, [&function] { function(); }, Qt::BlockingQueuedConnection);
}

void QtDispatcher::Pump() { QCoreApplication::processEvents(); }

}  // namespace compressor::ui
