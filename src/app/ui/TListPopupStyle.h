#pragma once

#include <QProxyStyle>

// Makes a drop-down list open as a plain scrolling list below the box, so that its maximum number
// of visible rows is honoured. Styles such as Fusion otherwise open a menu-like popup that shows
// every row at once and ignores that maximum.
class TListPopupStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override {
        if (hint == QStyle::SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
