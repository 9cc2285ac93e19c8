// The wizard's pictures, drawn at run time: the program icon, the picture on the left of every page
// and the file list's six 16x16 row icons.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace zel::updater {

constexpr int kRowIconSize = 16;
constexpr int kRowIconCount = 6;

// 0 and 1: a download in progress (two phases that alternate), 2: updated, 3: already up to date,
// 4: failed, 5: unused (empty).
std::vector<QIcon> RowIcons();
QIcon ProgramIcon();
// The picture on the left of the pages, `width` by `height` pixels.
QPixmap SidePicture(int width, int height);

}  // namespace zel::updater
