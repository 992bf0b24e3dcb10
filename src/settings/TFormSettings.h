#pragma once

#include <QDialog>
#include <QList>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class TImageList;
struct TSharedData;

// A plain area that its owner paints and that reports clicks.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    std::function<void(QPainter&)> OnPaint;
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The settings dialog: which information-point kinds are offered in the main window's kind list
// (their VisibleList flags) and the vehicle icon (the main window's IconNum). It changes them only
// when closed with "ОК". Every control's objectName is its name.
class TFormSettings : public QDialog {
    Q_OBJECT
public:
    static constexpr int IconRows = 166;  // the last two images of the icon list are not offered
    static constexpr int IconRowHeight = 50;

    TFormSettings(TSharedData& data, int& iconNum, const TImageList& icons, QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QListWidget* ComboBox1 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // The dialog's check boxes, filled by FormShow.
    QList<QCheckBox*> CheckBoxList;
    bool MouseOverIconList = false;

    // Builds the icon rows and sets the controls from the kinds and the icon; runs before the
    // dialog is shown.
    void FormShow();
    QCheckBox* FindCheckBox(const QString& name) const;
    void ShowListedKinds();

    void btnOKClick();
    void btnCancelClick();
    void PaintBox1Paint(QPainter& canvas);
    void PaintBox1Click();
    void ComboBox2DrawItem(QPainter& canvas, int row, const QRect& rect);
    void ComboBox2Change();
    void FormMouseWheelDown();
    void FormMouseWheelUp();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectRow(int row);
    int selectedRow() const;
    int lastRow() const;

    TSharedData& data_;
    int& iconNum_;
    const TImageList& icons_;
};
