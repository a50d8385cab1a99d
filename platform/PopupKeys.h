#pragma once

#include <QApplication>
#include <QObject>
#include <QWidget>

// While a pop-up is open (a menu, a combo box's list) every key is the pop-up's: Escape closes it,
// Return picks its entry. The forms that read keys before their controls ask this first, or
// Escape on a menu would close the form under it.
namespace PopupKeys {

inline bool forPopup(const QObject* receiver)
{
    if (QApplication::activePopupWidget())
        return true;
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    return widget && widget->window()->windowType() == Qt::Popup;
}

} // namespace PopupKeys
