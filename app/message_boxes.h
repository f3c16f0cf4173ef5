#pragma once

#include <QString>

class QWidget;

namespace pxr9 {

enum class BoxIcon { Error, Information, Warning };

// Every modal box of the program goes through here, so tests can answer boxes at once and
// see exactly what would have been shown.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box with a single "OK" button; returns once it has been dismissed.
    // `owner` may be null (a box before any window exists).
    virtual void show(QWidget* owner, const QString& text, const QString& caption,
                      BoxIcon icon) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    void show(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon) override;
};

}  // namespace pxr9
