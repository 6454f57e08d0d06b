#include "core/qt/form_widgets.h"

#include <QEvent>
#include <QPainter>

namespace core {

Panel::Panel(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void Panel::setCaption(const QString &caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    update();
}

void Panel::setAlignment(Qt::Alignment a)
{
    alignment_ = a;
    update();
}

void Panel::paintEvent(QPaintEvent *e)
{
    QFrame::paintEvent(e);
    if (caption_.isEmpty())
        return;
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(contentsRect().adjusted(2, 0, -2, 0), int(alignment_) | Qt::TextSingleLine, caption_);
}

LabeledEdit::LabeledEdit(QWidget *parent) : QLineEdit(parent), label_(new QLabel(parent))
{
    label_->setBuddy(this);
    placeLabel();
}

LabeledEdit::~LabeledEdit()
{
    delete label_.data();
}

bool LabeledEdit::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::ParentChange:
        if (label_)
            label_->setParent(parentWidget());
        placeLabel();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        placeLabel();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        if (label_)
            label_->setVisible(e->type() == QEvent::Show);
        break;
    default:
        break;
    }
    return QLineEdit::event(e);
}

void LabeledEdit::placeLabel()
{
    if (!label_)
        return;
    label_->adjustSize();
    label_->move(x(), y() - label_->height() - 3);
}

} // namespace core
