#include "updater/wizard/page_layout.h"

#include <QMessageBox>
#include <QVBoxLayout>

#include "updater/core/wizard_strings.h"
#include "updater/wizard/artwork.h"

namespace zel::updater {

QWidget* MakeDialogArea(QWizardPage* page, const CDialogUnits& units) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* area = new QWidget(page);
    area->setFixedSize(units.X(kPageWidthDlu), units.Y(kPageHeightDlu));
    layout->addWidget(area);
    auto* picture = new QLabel(area);
    QRect box = units.Rect(kPictureX, kPictureY, kPictureWidth, kPictureHeight);
    picture->setGeometry(box);
    picture->setPixmap(SidePicture(box.width(), box.height()));
    picture->setFrameShape(QFrame::Panel);
    picture->setFrameShadow(QFrame::Sunken);
    return area;
}

QLabel* MakeLabel(QWidget* area, const CDialogUnits& units, const QString& text, int x, int y, int width, int height) {
    auto* label = new QLabel(text, area);
    units.Place(label, x, y, width, height);
    return label;
}

void ShowMessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kSheetCaption), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace zel::updater
