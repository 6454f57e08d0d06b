// The find dialog: the text and the direction of a search in the main window's lists. Created
// once and kept for the run, so the last text and direction serve the search-again key.
//
//   forms::TfFind find(manage);
//   find.RadioButton1()->setChecked(true);
//   if (find.exec() != 2) main.FindInList(find.text(), find.forward(), list);
#pragma once
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace core {
class TManage;
}

namespace forms {

class TfFind : public QDialog {
    Q_OBJECT
public:
    // Results of exec(): 1 OK, 2 Cancel (also closing the box).
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit TfFind(core::TManage &manage, QWidget *parent = nullptr);

    // The text, trimmed.
    QString text() const;
    bool forward() const;
    void setForward(bool forward);

    QLineEdit *Edit1() const { return Edit1_; }
    QRadioButton *RadioButton1() const { return RadioButton1_; }
    QRadioButton *RadioButton2() const { return RadioButton2_; }
    QPushButton *btnOk() const { return btnOk_; }
    QPushButton *btnCancel() const { return btnCancel_; }

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    QLabel *Label1_ = nullptr;
    QLineEdit *Edit1_ = nullptr;
    QRadioButton *RadioButton1_ = nullptr;
    QRadioButton *RadioButton2_ = nullptr;
    QPushButton *btnOk_ = nullptr;
    QPushButton *btnCancel_ = nullptr;
};

} // namespace forms
