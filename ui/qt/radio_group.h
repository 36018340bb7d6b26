// A captioned group of radio items of which one is selected, told apart by
// their position: the selector's items are numbered from 0 in layout order.
#pragma once

#include <QGroupBox>
#include <QRadioButton>

class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    using QGroupBox::QGroupBox;

    // The index of the selected item, or -1 when none is.
    int ItemIndex() const;
};

// An item of a RadioGroup: a click anywhere in its row selects it, not only
// on the indicator and the text, and all four arrow keys move to the item
// before or after it, as in a Windows radio group.
class RadioItem : public QRadioButton {
    Q_OBJECT
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint &pos) const override;
    void keyPressEvent(QKeyEvent *event) override;
};
