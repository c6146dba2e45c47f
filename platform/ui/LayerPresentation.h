// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QLayout;
class QWidget;

// What alerts and action sheets have in common: a title and buttons, and while the presentation
// has its turn on the AlertLayer, the panel it draws over the dimmed window, fitted again to the
// overlay whenever the window changes size.
class LayerPresentation : public QObject
{
    Q_OBJECT
public:
    QString title() const { return m_title; }
    QStringList buttonTitles() const { return m_buttons; }
    bool isVisible() const { return m_visible; }
    // The panel drawn in the window while this presentation has its turn (null otherwise).
    QWidget* panel() const { return m_panel; }

protected:
    explicit LayerPresentation(const QString& title, QObject* parent = nullptr);

    // Sizes the panel for the overlay it lies on.
    virtual void fitPanel(QWidget* overlay) = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The height a layout needs at `width`, its margins included; a layout without wrapped texts
    // has the same height at every width.
    static int heightAt(QLayout* layout, int width);

    QString m_title;
    QStringList m_buttons;
    bool m_visible = false;
    QPointer<QWidget> m_panel;
};
