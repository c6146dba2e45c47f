// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;
class SearchBar;

// What a search field tells its delegate; every member is optional.
class SearchBarDelegate
{
public:
    virtual ~SearchBarDelegate() = default;
    virtual void searchBarTextDidBeginEditing(SearchBar* searchBar);
    virtual void searchBarTextDidEndEditing(SearchBar* searchBar);
    // The user changed the text (never sent for a text set from code).
    virtual void searchBarTextDidChange(SearchBar* searchBar, const QString& text);
    virtual void searchBarCancelButtonClicked(SearchBar* searchBar);
    virtual void searchBarSearchButtonClicked(SearchBar* searchBar);
};

// A one-line search field with a Cancel button beside it that shows only when asked for.
class SearchBar : public QWidget
{
    Q_OBJECT
public:
    explicit SearchBar(QWidget* parent = nullptr);

    void setDelegate(SearchBarDelegate* delegate) { m_delegate = delegate; }

    QString text() const;
    // Sets the text without telling the delegate.
    void setText(const QString& text);
    QString placeholder() const;
    void setPlaceholder(const QString& text);

    bool showsCancelButton() const { return m_showsCancelButton; }
    void setShowsCancelButton(bool shows);
    // Off by default: the field neither corrects nor capitalises what is typed.
    void setAutocorrection(bool on);
    void setAutocapitalization(bool on);
    bool autocorrection() const { return m_autocorrection; }
    bool autocapitalization() const { return m_autocapitalization; }

    // The field holds the keyboard.
    bool isFirstResponder() const;
    void becomeFirstResponder();
    void resignFirstResponder();

    QLineEdit* textField() const { return m_field; }
    QPushButton* cancelButton() const { return m_cancel; }

    static constexpr int kHeight = 44;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateInputHints();

    SearchBarDelegate* m_delegate = nullptr;
    QLineEdit* m_field = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_showsCancelButton = false;
    bool m_autocorrection = false;
    bool m_autocapitalization = false;
};
