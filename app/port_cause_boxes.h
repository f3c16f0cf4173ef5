#pragma once

#include "app/message_boxes.h"
#include "platform/midi/port_notes.h"

namespace pxr9 {

// Boxes that add, under "Can't open MIDI In/Out device.", why the port could not be opened
// (who holds it and how to free it), when the MIDI services know. The text itself stays as
// it is; the cause is its second line.
class PortCauseBoxes final : public MessageBoxes {
  public:
    PortCauseBoxes(MessageBoxes& boxes, PortNotes& notes) : boxes_(boxes), notes_(notes) {}
    void show(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon) override;

  private:
    MessageBoxes& boxes_;
    PortNotes& notes_;
};

}  // namespace pxr9
