#include "app/Unit_QLV_MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace quelvo::app {

namespace {

TMessageBoxHandler& Handler()
{
    static TMessageBoxHandler handler;
    return handler;
}

int Show(QWidget* owner, const QString& caption, const QString& text, TMsgIcon icon)
{
    if (Handler())
        return Handler()(owner, caption, text, icon);
    QMessageBox box(icon == TMsgIcon::Error ? QMessageBox::Critical : QMessageBox::Information, caption,
                    text, QMessageBox::Ok, owner);
    box.exec();
    return 1;
}

}  // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler)
{
    TMessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

int func_ShowMessage(QWidget* owner, const QString& text)
{
    return Show(owner, QStringLiteral("Quelvo"), text, TMsgIcon::Information);
}

QString ErrorMessageText(const QString& message)
{
    if (message.isEmpty() || message.back() <= QLatin1Char('.'))
        return message;
    return message + QLatin1Char('.');
}

void func_ShowError(QWidget* owner, const QString& message)
{
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QStringLiteral("Quelvo");
    Show(owner, title, ErrorMessageText(message), TMsgIcon::Error);
}

}  // namespace quelvo::app
