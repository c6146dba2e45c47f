// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <functional>

// A one-line text field. The return key asks the delegate (textFieldShouldReturn) what to do;
// without a delegate it only gives up the keyboard. When the text is wider than the field, the
// font shrinks to fit, but never below the minimum font size.
class TextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit TextField(QWidget* parent = nullptr);

    // Sent when the return key is pressed; the answer is whether the key was handled.
    std::function<bool(TextField*)> textFieldShouldReturn;

    // The font the text is drawn in when it fits; pixel sizes.
    void setFontSize(int pixelSize, bool bold);
    int fontSize() const { return m_fontSize; }
    void setMinimumFontSize(int pixelSize);
    int minimumFontSize() const { return m_minimumFontSize; }
    // The size the text is drawn in now, after shrinking to fit.
    int currentFontSize() const { return font().pixelSize(); }

    void resignFirstResponder() { clearFocus(); }
    bool isFirstResponder() const { return hasFocus(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitFont();

    int m_fontSize = 17;
    int m_minimumFontSize = 17;
    bool m_bold = false;
};
