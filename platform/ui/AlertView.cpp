#include "platform/ui/AlertView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace {

QSet<AlertView *> &openAlerts()
{
    static QSet<AlertView *> alerts;
    return alerts;
}

QWidget *defaultParent()
{
    if (QWidget *w = QApplication::activeWindow())
        return w;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !qobject_cast<QDialog *>(w))
            return w;
    return nullptr;
}

}  // namespace

AlertViewDelegate::~AlertViewDelegate()
{
    for (AlertView *alert : openAlerts())
        if (alert->delegate_ == this)
            alert->delegate_ = nullptr;
}

AlertView::AlertView(const QString &title, const QString &message, AlertViewDelegate *delegate,
                     const QStringList &buttonTitles, QWidget *parent)
    : QDialog(parent ? parent : defaultParent()), delegate_(delegate)
{
    openAlerts().insert(this);
    setWindowTitle(title);
    setAccessibleName(title);
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(280);

    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(title);
    heading->setObjectName(QStringLiteral("alertTitle"));
    heading->setAlignment(Qt::AlignCenter);
    heading->setWordWrap(true);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    message_ = new QLabel(message);
    message_->setObjectName(QStringLiteral("alertMessage"));
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    // Blank lines were room for a field drawn over the message; the field has its own row.
    message_->setVisible(!message.trimmed().isEmpty());
    layout->addWidget(message_);

    auto *row = new QHBoxLayout;
    for (int i = 0; i < buttonTitles.size(); i++) {
        auto *b = new QPushButton(buttonTitles[i]);
        b->setAccessibleName(buttonTitles[i]);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { deliver(i); });
        row->addWidget(b);
        buttons_.append(b);
    }
    // OK is the answer Enter gives.
    if (!buttons_.isEmpty())
        buttons_.value(1, buttons_.first())->setDefault(true);
    layout->addLayout(row);
}

AlertView::~AlertView()
{
    openAlerts().remove(this);
}

QString AlertView::message() const
{
    return message_->text();
}

QPushButton *AlertView::button(int index) const
{
    return buttons_.value(index, nullptr);
}

QLineEdit *AlertView::addTextField()
{
    if (field_)
        return field_;
    field_ = new QLineEdit;
    field_->setObjectName(QStringLiteral("alertTextField"));
    field_->setAccessibleName(windowTitle());
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->insertWidget(2, field_);
    return field_;
}

void AlertView::show()
{
    open();
}

void AlertView::reject()
{
    deliver(0);
}

void AlertView::deliver(int index)
{
    if (delivered_)
        return;
    delivered_ = true;
    hide();
    setResult(index);
    if (delegate_)
        delegate_->alertViewClickedButtonAtIndex(this, index);
    deleteLater();
}
