// Archives built to hurt the reader: foreign object graphs with cycles, nesting deep enough to
// exhaust the stack, containers that hold themselves.
#include "platform/archive/Archivable.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/archive/XmlArchive.h"

#include <gtest/gtest.h>

namespace {

using sonavell::test::uid;
using sonavell::test::xmlArchive;

// A record that keeps a foreign object under "location", as the library's records do.
class Holder : public Archivable
{
public:
    explicit Holder(ArchivedObject::Ptr object)
        : m_object(std::move(object))
    {
    }
    QString archiveClassName() const override { return QStringLiteral("Holder"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject("location", m_object);
    }

private:
    ArchivedObject::Ptr m_object;
};

// Appends a big-endian number of `bytes` bytes, as binary property lists store them.
void appendBigEndian(QByteArray& out, uint64_t value, int bytes)
{
    for (int b = bytes - 1; b >= 0; --b)
        out += char((value >> (8 * b)) & 0xFF);
}

// The trailer of a binary property list whose root is object 0.
QByteArray trailer(int offsetSize, int refSize, uint64_t objects, uint64_t tableOffset)
{
    QByteArray t = QByteArray(6, '\0') + char(offsetSize) + char(refSize);
    appendBigEndian(t, objects, 8);
    appendBigEndian(t, 0, 8);
    appendBigEndian(t, tableOffset, 8);
    return t;
}

} // namespace

TEST(HostileArchives, ForeignObjectCyclesAreCut)
{
    // location -> A -> B -> A: the back reference becomes the null reference.
    const QByteArray data =
        xmlArchive(uid(2), "<dict><key>$class</key>" + uid(3) + "<key>location</key>" + uid(4) +
                               "</dict><dict><key>$classname</key><string>Recording</string></dict>"
                               "<dict><key>next</key>" +
                               uid(5) +
                               "</dict>"
                               "<dict><key>back</key>" +
                               uid(4) + "<key>self</key>" + uid(5) + "</dict>");
    KeyedUnarchiver coder(data);
    ArchivedObject::Ptr location;
    coder.decodeRootArray([&](const QString&) { location = coder.decodeObject("location"); });
    ASSERT_TRUE(location);
    ASSERT_EQ(location->children().size(), 1u);
    const auto& b = location->children()[0];
    ASSERT_TRUE(b);
    EXPECT_EQ(b->children().size(), 2u);
    EXPECT_FALSE(b->children()[0]);
    EXPECT_FALSE(b->children()[1]);
    // And it can be written back.
    const Holder holder(location);
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootArray({&holder}).isEmpty());
}

TEST(HostileArchives, DeepNestingIsRefusedBeforeParsing)
{
    // Nested arrays many thousand levels deep, in both encodings.
    const int depth = 100000;
    const QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">" +
                           QByteArray("<array>").repeated(depth) +
                           QByteArray("</array>").repeated(depth) + "</plist>";
    EXPECT_FALSE(KeyedUnarchiver(xml).isValid());

    // Binary: object i is a one-element array holding object i + 1; 1-byte offsets won't do,
    // so offsets are 4 bytes and references 4 bytes.
    QByteArray bin = "bplist00";
    std::vector<uint32_t> offsets;
    for (int i = 0; i < depth; ++i) {
        offsets.push_back(uint32_t(bin.size()));
        bin += char(i + 1 < depth ? 0xA1 : 0xA0);
        if (i + 1 < depth)
            appendBigEndian(bin, uint32_t(i + 1), 4);
    }
    const uint64_t table = uint64_t(bin.size());
    for (uint32_t off : offsets)
        appendBigEndian(bin, off, 4);
    EXPECT_FALSE(KeyedUnarchiver(bin + trailer(4, 4, depth, table)).isValid());

    // A container that holds itself: an array at offset 8 whose one element is object 0.
    const QByteArray loop = QByteArray("bplist00\xA1\x00\x08", 11) + trailer(1, 1, 1, 10);
    EXPECT_FALSE(KeyedUnarchiver(loop).isValid());
}
