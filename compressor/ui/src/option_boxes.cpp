#include "compressor_ui/option_boxes.h"

#include <QSignalBlocker>

#include "compressor/quobran_settings.h"

namespace compressor::ui {

OptionBoxes::OptionBoxes(QWidget& form, OptionsPanel& panel) : QObject(&form), panel_(panel) {
  for (const OptionBoxDesign& design : kOptionBoxes) {
    auto* box = new QCheckBox(QString::fromLatin1(design.caption), &form);
    box->setObjectName(QStringLiteral("cb%1").arg(static_cast<int>(design.box)));
    box->setGeometry(design.left, design.top, kOptionBoxWidth, kOptionBoxHeight);
    box->setToolTip(QString::fromLatin1(design.hint));
    box->setCursor(Qt::PointingHandCursor);
    boxes_[static_cast<size_t>(design.box) - 1] = box;
    // clicked comes from the user only; the panel raises the handlers of its own changes itself.
    connect(box, &QCheckBox::clicked, this, [this, id = design.box](bool checked) { panel_.Clicked(id, checked); });
  }
  panel_.SetView(this);
}

OptionBoxes::~OptionBoxes() { panel_.SetView(nullptr); }

void OptionBoxes::FollowClientHeight(int client_height) {
  for (const OptionBoxDesign& design : kOptionBoxes) {
    CheckBox(design.box).move(design.left, design.top + client_height - kDesignedClientHeight);
  }
}

void OptionBoxes::ShowChecked(Box box, bool checked) {
  QCheckBox& widget = CheckBox(box);
  const QSignalBlocker quiet(widget);
  widget.setChecked(checked);
}

void OptionBoxes::ShowEnabled(Box box, bool enabled) { CheckBox(box).setEnabled(enabled); }

}  // namespace compressor::ui
