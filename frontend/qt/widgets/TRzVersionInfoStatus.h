#pragma once

// A pane that shows one field of a version reader after a field label:
// the label at the left edge (1 pixel plus the text offset in, vertically
// centred, in the label colour, grey when disabled), then the value
// left-aligned in the rest of the pane.

#include "frontend/qt/widgets/TRzVersionInfo.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace quelvo::widgets {

class TRzVersionInfoStatus : public QWidget {
    Q_OBJECT
public:
    explicit TRzVersionInfoStatus(QWidget* parent = nullptr);

    void SetVersionInfo(TRzVersionInfo* info);
    TRzVersionInfo* VersionInfo() const { return FVersionInfo; }

    TRzVersionInfoField Field() const { return FField; }
    void SetField(TRzVersionInfoField field);

    QString FieldLabel() const { return FFieldLabel; }
    void SetFieldLabel(const QString& label);

    QColor FieldLabelColor() const { return FFieldLabelColor; }
    void SetFieldLabelColor(const QColor& colour);

    int TextOffset() const { return FTextOffset; }

    // The value shown: the reader's field, empty without a reader.
    QString Caption() const;

    // Where label and value are drawn, in pane coordinates (x of each text's
    // left edge).
    int LabelLeft() const;
    int ValueLeft() const;

    static constexpr int kDefaultWidth = 100;
    static constexpr int kDefaultHeight = 20;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QPointer<TRzVersionInfo> FVersionInfo;
    TRzVersionInfoField FField = TRzVersionInfoField::vifFileVersion;
    QString FFieldLabel;
    QColor FFieldLabelColor;
    int FTextOffset = 2;
};

}  // namespace quelvo::widgets
