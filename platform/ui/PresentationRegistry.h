// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

// Which presentations of one kind (alerts, action sheets) are on screen now, and a line for each
// one shown since the record was last cleared; the application and its tests read both.
template <typename T> class PresentationRegistry
{
public:
    void shown(T* item, const QString& record)
    {
        m_visible.push_back(item);
        m_history << record;
    }
    void gone(T* item)
    {
        m_visible.erase(std::remove(m_visible.begin(), m_visible.end(), item), m_visible.end());
    }
    const std::vector<T*>& visible() const { return m_visible; }
    const QStringList& history() const { return m_history; }
    void clearHistory() { m_history.clear(); }

private:
    std::vector<T*> m_visible;
    QStringList m_history;
};
