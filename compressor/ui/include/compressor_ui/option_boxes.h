#pragma once
#include <QCheckBox>
#include <QObject>
#include <QWidget>
#include <array>

#include "compressor/options_panel.h"

namespace compressor::ui {

// The eleven option check boxes cb1 ... cb11, made on the main window at their designed places
// with their captions and hints, and kept in step with the OptionsPanel that decides.
class OptionBoxes final : public QObject, public OptionsView {
  Q_OBJECT

 public:
  OptionBoxes(QWidget& form, OptionsPanel& panel);
  ~OptionBoxes() override;

  QCheckBox& CheckBox(Box box) const { return *boxes_[static_cast<size_t>(box) - 1]; }
  // The boxes are anchored to the window's left and bottom edges.
  void FollowClientHeight(int client_height);

  void ShowChecked(Box box, bool checked) override;
  void ShowEnabled(Box box, bool enabled) override;

 private:
  OptionsPanel& panel_;
  std::array<QCheckBox*, kBoxCount> boxes_{};  // owned by the form
};

}  // namespace compressor::ui
