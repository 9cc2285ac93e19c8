// What the three pages share: the fixed-size area in which controls sit at dialog-unit positions,
// with the picture on its left.
#pragma once

#include <QLabel>
#include <QWizardPage>

#include "updater/wizard/dialog_units.h"

namespace zel::updater {

// The picture column: left edge and width, top and height, in dialog units.
constexpr int kPictureX = 5;
constexpr int kPictureY = 5;
constexpr int kPictureWidth = 78;
constexpr int kPictureHeight = 141;

// Creates the page's control area (sized as a page template) with the picture in place.
QWidget* MakeDialogArea(QWizardPage* page, const CDialogUnits& units);

// A label with `text`, placed at the given dialog units.
QLabel* MakeLabel(QWidget* area, const CDialogUnits& units, const QString& text, int x, int y, int width, int height);

// A modal message with an OK button, the text shown as plain text.
void ShowMessageBox(QWidget* parent, const QString& text);

}  // namespace zel::updater
