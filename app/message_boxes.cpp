#include "app/message_boxes.h"

#include <QMessageBox>

namespace pxr9 {

void QtMessageBoxes::show(QWidget* owner, const QString& text, const QString& caption,
                          BoxIcon icon) {
    const auto qtIcon = icon == BoxIcon::Error         ? QMessageBox::Critical
                        : icon == BoxIcon::Information ? QMessageBox::Information
                                                       : QMessageBox::Warning;
    QMessageBox box(qtIcon, caption, text, QMessageBox::Ok, owner);
    // The texts are shown exactly as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace pxr9
