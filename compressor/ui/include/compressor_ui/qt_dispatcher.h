#pragma once
#include <QObject>

#include "platform/dispatcher.h"

namespace compressor::ui {

// Runs the engine's calls on the thread of `receiver` (the main thread) with a blocking queued
// call; a call made on that thread itself runs at once instead of waiting for itself.
class QtDispatcher final : public platform::Dispatcher {
 public:
  explicit QtDispatcher(QObject& receiver) : receiver_(receiver) {}
  void RunSync(const std::function<void()>& function) override;
  void Pump() override;

 private:
  QObject& receiver_;
};

}  // namespace compressor::ui
