#pragma once

// Shared by the markup widget tests: pictures made in code, the report's row
// markup and a list box set up as the report page's list.

#include "frontend/qt/markup/HTMListB.h"
#include "frontend/qt/markup/PictureContainer.h"

#include <QColor>
#include <QImage>
#include <QString>

namespace quelvo::markup::test {

// The twelve picture names in container order.
const QStringList& PictureNames();
// A 30 x 30 picture of one colour.
QImage SolidPicture(const QColor& colour);
// The colour each code-made picture is filled with (distinct per name).
QColor PictureColour(const QString& name);
// Fills container with the twelve names, each a solid picture of PictureColour(name).
void FillWithSolidPictures(TPictureContainer& container);

// Report rows as the report writes them.
QString ProblemsHeader();
QString NeedsApplicationHeader();
QString GroupRow(const QString& group, bool unknown = false);
QString ProblemItem(const QString& ext);
QString NeedsApplicationItem(const QString& ext);
QString ValidItem(const QString& ext);
QString CheckBoxItem(const QString& ext, bool ticked = false);

// The report list's settings: no border, white, Tahoma 8 pt black, fixed
// items of 32 pixels, no selection or focus shown, AutoFocus on.
void SetUpAsReportList(THTMListBox& list, TPictureContainer* pictures);

}  // namespace quelvo::markup::test
