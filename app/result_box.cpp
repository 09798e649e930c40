#include "app/result_box.h"

#include <QPlainTextEdit>
#include <QString>

#include "app/display_text.h"

namespace quillora {

QPlainTextEdit* NewResultBox(QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setReadOnly(true);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  box->setUndoRedoEnabled(false);  // an undo stack would grow with every line
  box->setTabChangesFocus(true);
  return box;
}

void AppendLine(QPlainTextEdit& box, std::string_view line) {
  box.appendPlainText(DisplayText(line));
}

void ClearBox(QPlainTextEdit& box) { box.clear(); }

}  // namespace quillora
