#include "compressor_ui/message_question.h"

#include <QMessageBox>

namespace compressor::ui {

bool MessageBoxQuestion::AskYesNo(std::string_view text) {
  const QString message = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  return QMessageBox::warning(parent_, QStringLiteral("Quobran"), message, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes) != QMessageBox::No;
}

}  // namespace compressor::ui
