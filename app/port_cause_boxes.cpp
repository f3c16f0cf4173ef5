#include "app/port_cause_boxes.h"

#include <string>

#include "engine/message_table.h"

namespace pxr9 {

namespace {

QString fromText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void PortCauseBoxes::show(QWidget* owner, const QString& text, const QString& caption,
                          BoxIcon icon) {
    const bool out = text == fromText(loadMessage(kMsgCantOpenMidiOut));
    const bool in = text == fromText(loadMessage(kMsgCantOpenMidiIn));
    const std::string cause = out || in ? notes_.takeFailure(out) : std::string();
    boxes_.show(owner, cause.empty() ? text : text + QStringLiteral("\n") + fromText(cause),
                caption, icon);
}

}  // namespace pxr9
