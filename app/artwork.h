// The application's icon and the about box picture, drawn rather than shipped as files.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace brisfell {

// A small switch with lit ports, in the sizes window managers ask for.
QIcon ApplicationIcon();
// The about box picture: the same switch, larger.
QPixmap AboutPicture();

}  // namespace brisfell
