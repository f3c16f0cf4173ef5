#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace pxr9 {

// The About box: the program's name (never a copy number), the icon and the maker notice.
class AboutDialog : public QDialog {
  public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QLineEdit* aboutTitle() const { return aboutTitle_; }
    QPushButton* okButton() const { return okButton_; }

  private:
    QLineEdit* aboutTitle_;
    QPushButton* okButton_;
};

}  // namespace pxr9
