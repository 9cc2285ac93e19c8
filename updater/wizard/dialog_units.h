// Dialog layout in dialog units: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height, so the pages keep their proportions with any font.
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace zel::updater {

// Every page is this many dialog units wide and high.
constexpr int kPageWidthDlu = 292;
constexpr int kPageHeightDlu = 151;

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }
    // Places `widget` at the rectangle given in dialog units.
    void Place(QWidget* widget, int x, int y, int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace zel::updater
