#pragma once

#include <QIcon>
#include <QPixmap>

namespace pxr9 {

// The program's icon, drawn at run time in 16, 32 and 48 pixels.
QIcon appIcon();
QPixmap drawAppIcon(int size);

}  // namespace pxr9
