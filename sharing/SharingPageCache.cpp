#include "sharing/SharingPageCache.h"

#include "sharing/SharingPages.h"

QByteArray SharingPageCache::page(const LibrarySnapshot& library, const QString& documentsPath,
                                  const QString& category, const QByteArray& head)
{
    auto build = [&] {
        return head + SharingPages::categoriesContent(library) +
               SharingPages::filesContent(library, documentsPath, category);
    };
    if (library.version == 0)
        return build();
    // QHash does not tell a null key from an empty one; "no category" gets a key of its own
    // that no request path can produce (a category name never holds a NUL character).
    const QPair<QString, QByteArray> key(category.isNull() ? QString(QChar(0)) : category, head);
    {
        std::lock_guard lock(m_mutex);
        if (m_version != library.version || m_documentsPath != documentsPath) {
            m_pages.clear();
            m_version = library.version;
            m_documentsPath = documentsPath;
        }
        const auto found = m_pages.constFind(key);
        if (found != m_pages.constEnd())
            return *found;
    }
    // Built outside the lock: another thread may build the same page meanwhile, harmlessly.
    const QByteArray built = build();
    std::lock_guard lock(m_mutex);
    if (m_version == library.version && m_documentsPath == documentsPath) {
        if (m_pages.size() >= kMaxEntries)
            m_pages.clear();
        m_pages.insert(key, built);
    }
    return built;
}

QByteArray SharingPageCache::documents(const LibrarySnapshot& library, const QString& documentsPath,
                                       const QString& category)
{
    return page(library, documentsPath, category, QByteArray());
}
