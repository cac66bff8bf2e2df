#pragma once

// A plain container: no border, transparent (its parent shows through).
// Presses on it do not reach the controls beneath.

#include <QWidget>

namespace quelvo::widgets {

class TRzPanel : public QWidget {
    Q_OBJECT
public:
    explicit TRzPanel(QWidget* parent = nullptr);
};

}  // namespace quelvo::widgets
