#include "MarkupTestUtil.h"

namespace quelvo::markup::test {

const QStringList& PictureNames() {
    static const QStringList names{
        "ListBoxItem_BG.bmp", "ListBoxItem_SUBBG.bmp", "idxs.1", "idxs.2",
        "ListBoxItem_WP.bmp", "ListBoxItem_VE.bmp", "ListBoxItem_RAA.bmp", "ListBoxItem_FileTypeG.bmp",
        "idxs.4", "idxs.3", "idxs.0", "ListBoxItem_FileTypeU.bmp",
    };
    return names;
}

QImage SolidPicture(const QColor& colour) {
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QColor PictureColour(const QString& name) {
    const int i = static_cast<int>(PictureNames().indexOf(name));
    return QColor(20 * (i + 1), 100, 255 - 10 * i);
}

void FillWithSolidPictures(TPictureContainer& container) {
    for (const QString& name : PictureNames()) container.AddImage(name, SolidPicture(PictureColour(name)));
}

namespace {
QString Header(const QString& picture, const QString& caption) {
    return QString("<IMG src=\"%1\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>%2</B></font>")
        .arg(picture, caption);
}

QString Item(const QString& picture, const QString& ext, const QString& status) {
    return QString("<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"%1\" align=\"middle\"><font size=\"10\" "
                   "face=\"Arial\">%2</font><ind=\"400\"><A href=\"%2\">%3</A><HR COLOR=\"clWhite\">")
        .arg(picture, ext, status);
}
}  // namespace

QString ProblemsHeader() { return Header("ListBoxItem_WP.bmp", "Extensions with Problems"); }

QString NeedsApplicationHeader() {
    return Header("ListBoxItem_RAA.bmp", "Common Extensions Requiring an Application");
}

QString GroupRow(const QString& group, bool unknown) {
    return QString("<BODY bgcolor=\"#d6e7f9\"><ind=\"15\"><IMG src=\"%1\" align=\"middle\"> <font size=\"10\" "
                   "face=\"Arial\">%2</font><HR COLOR=\"clWhite\">")
        .arg(unknown ? "ListBoxItem_FileTypeU.bmp" : "ListBoxItem_FileTypeG.bmp", group);
}

QString ProblemItem(const QString& ext) { return Item("idxs.4", ext, "Fix Registry Problem"); }
QString NeedsApplicationItem(const QString& ext) { return Item("idxs.0", ext, "New Application Required"); }
QString ValidItem(const QString& ext) { return Item("idxs.3", ext, "No Problems"); }

QString CheckBoxItem(const QString& ext, bool ticked) {
    return QString("<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><A href=\"check "
                   "%1\"><IMG src=\"%2\" align=\"middle\"></A><font size=\"10\" face=\"Arial\">%1</font><ind=\"400\">"
                   "<A href=\"%1\">Application Required</A><HR COLOR=\"clWhite\">")
        .arg(ext, ticked ? "idxs.2" : "idxs.1");
}

void SetUpAsReportList(THTMListBox& list, TPictureContainer* pictures) {
    list.SetBorderStyle(bsNone);
    list.SetColor(Qt::white);
    list.SetFont(FontSpec{u"Tahoma", 8, false, false, Rgb{0, 0, 0}});
    list.SetAutoItemHeight(false);
    list.SetItemHeight(32);
    list.SetMultiline(true);
    list.SetSorted(false);
    list.SetPictureContainer(pictures);
    list.SetShowSelection(false);
    list.SetShowFocus(false);
    list.SetSelectionColor(Qt::white);
    list.SetSelectionFontColor(Qt::black);
    list.SetAutoFocus(true);
    list.resize(544, 286);
}

}  // namespace quelvo::markup::test
