// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>
#include <optional>

namespace sonavell::test {

// Collects the program's log lines while it lives (from any thread), optionally only those of
// one logging category and of one kind, and puts the previous handler back when it goes.
class LogCapture
{
public:
    explicit LogCapture(QByteArray category = {}, std::optional<QtMsgType> kind = std::nullopt)
    {
        std::lock_guard lock(s_mutex);
        s_lines.clear();
        s_category = std::move(category);
        s_kind = kind;
        m_previous = qInstallMessageHandler(collect);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const
    {
        std::lock_guard lock(s_mutex);
        return s_lines;
    }
    bool contains(const QString& line) const { return lines().contains(line); }
    QStringList linesWith(const QString& part) const { return lines().filter(part); }

private:
    static void collect(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        std::lock_guard lock(s_mutex);
        if (s_kind && type != *s_kind)
            return;
        if (!s_category.isEmpty() && s_category != context.category)
            return;
        s_lines << text;
    }

    static inline std::mutex s_mutex;
    static inline QStringList s_lines;
    static inline QByteArray s_category;
    static inline std::optional<QtMsgType> s_kind;
    QtMessageHandler m_previous = nullptr;
};

} // namespace sonavell::test
