#include "sharing/SharingPageCache.h"

#include "sharing/SharingPages.h"

QByteArray SharingPageCache::documents(const LibrarySnapshot& library, const QString& documentsPath,
                                       const QString& category)
{
    auto build = [&] {
        return SharingPages::categoriesContent(library) +
               SharingPages::filesContent(library, documentsPath, category);
    };
    if (library.version == 0)
        return build();
    // QHash does not tell a null key from an empty one; "no category" gets a key of its own
    // that no request path can produce (a category name never holds a NUL character).
    const QString key = category.isNull() ? QString(QChar(0)) : category;
    {
        std::lock_guard lock(m_mutex);
        if (m_version != library.version || m_documentsPath != documentsPath) {
            m_documents.clear();
            m_version = library.version;
            m_documentsPath = documentsPath;
        }
        const auto found = m_documents.constFind(key);
        if (found != m_documents.constEnd())
            return *found;
    }
    // Built outside the lock: another thread may build the same page meanwhile, harmlessly.
    const QByteArray built = build();
    std::lock_guard lock(m_mutex);
    if (m_version == library.version && m_documentsPath == documentsPath) {
        if (m_documents.size() >= kMaxEntries)
            m_documents.clear();
        m_documents.insert(key, built);
    }
    return built;
}
