#pragma once
#include <QWidget>

#include "compressor/options_panel.h"

namespace compressor::ui {

// The platform's warning message box with the buttons Yes and No.
class MessageBoxQuestion final : public Question {
 public:
  explicit MessageBoxQuestion(QWidget* parent) : parent_(parent) {}
  bool AskYesNo(std::string_view text) override;

 private:
  QWidget* parent_;
};

}  // namespace compressor::ui
