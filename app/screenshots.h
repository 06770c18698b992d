// Pictures of every view of the main window: each switch, each group, each tab.
#pragma once

#include <QString>
#include <QStringList>

#include "app/main_window.h"

namespace brisfell {

// "Port Status" -> "port-status".
QString FileNamePart(const QString& caption);

// Chooses `adapter` (which runs discovery), then for every switch found shows every group and
// every tab and saves the window as DIR/sw<switch>-<group>-<tab index>-<tab>.png. False with
// a message when the directory cannot be made, nothing answered, or a picture cannot be saved.
// Then, of switch 0: the Port Status page while its reads are under way
// (DIR/sw0-status-1-port-status-busy.png), the network map and the traffic window
// (DIR/network-map.png, DIR/traffic.png), and its MIB Counter page with the rates of auto
// refresh; the about box is saved last, as DIR/about.png.
bool TakeScreenshots(MainWindow& window, int adapter, const QString& dir, QStringList& written, QString& error);

}  // namespace brisfell
