#pragma once

#include <QComboBox>

// A drop-down list that says when its popup is about to open, so entries' tooltips can be
// refreshed (a USB adapter may have come or gone since the window opened).
class ListBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        emit popupAboutToShow();
        QComboBox::showPopup();
    }

signals:
    void popupAboutToShow();
};
