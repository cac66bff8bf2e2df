#include "frontend/qt/widgets/TRzPanel.h"

namespace quelvo::widgets {

TRzPanel::TRzPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
}

}  // namespace quelvo::widgets
