// Two widgets the forms use whose captions come from the language: a panel that shows a caption
// and a line edit that carries its own label. (The speed button lives with the controls.)
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace core {

// A raised frame with a caption drawn in it (centred unless told otherwise); it may hold widgets.
class Panel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    explicit Panel(QWidget *parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString &caption);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment a);

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};

// A line edit with a label of its own, kept above it (3 pixels apart) in the same parent. The
// label has no object name: it is reached through the edit.
class LabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LabeledEdit(QWidget *parent = nullptr);
    ~LabeledEdit() override;

    QLabel *editLabel() const { return label_; }

protected:
    bool event(QEvent *e) override;

private:
    void placeLabel();

    QPointer<QLabel> label_;
};

} // namespace core
