#include "app/port_cause_boxes.h"

#include <gtest/gtest.h>

#include "tests/doubles/fake_platform.h"

namespace pxr9::testing {
namespace {

TEST(PortCauseBoxes, TheCauseOfAFailedOpenIsTheSecondLineOfItsBoxOnly) {
    RecordingBoxes shown;
    PortNotes notes;
    PortCauseBoxes boxes(shown, notes);
    const QString caption = QStringLiteral("Error");

    notes.note(true, "MIDI Out \"KEVO PXR-9\" is busy: ...", true);
    notes.note(false, "MIDI In \"KEVO PXR-9\" is busy: ...", true);
    boxes.show(nullptr, QStringLiteral("Can't open MIDI Out device."), caption, BoxIcon::Error);
    // Another box leaves the cause of the input for its own box.
    boxes.show(nullptr, QStringLiteral("Time out error!"), caption, BoxIcon::Error);
    boxes.show(nullptr, QStringLiteral("Can't open MIDI In device."), caption, BoxIcon::Error);
    // Asked again without a new failure: the text alone, no stale cause.
    boxes.show(nullptr, QStringLiteral("Can't open MIDI In device."), caption, BoxIcon::Error);

    const std::vector<ShownBox> expected = {
        {QStringLiteral("Can't open MIDI Out device.\nMIDI Out \"KEVO PXR-9\" is busy: ..."),
         caption, BoxIcon::Error},
        {QStringLiteral("Time out error!"), caption, BoxIcon::Error},
        {QStringLiteral("Can't open MIDI In device.\nMIDI In \"KEVO PXR-9\" is busy: ..."), caption,
         BoxIcon::Error},
        {QStringLiteral("Can't open MIDI In device."), caption, BoxIcon::Error},
    };
    EXPECT_EQ(shown.shown, expected);
}

}  // namespace
}  // namespace pxr9::testing
