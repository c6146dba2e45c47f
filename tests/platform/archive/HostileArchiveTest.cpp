// SPDX-License-Identifier: GPL-3.0-or-later
// Archives built to hurt the reader: foreign object graphs with cycles, nesting deep enough to
// exhaust the stack, containers that hold themselves, containers named from many places.
#include "platform/archive/Archivable.h"
#include "platform/archive/ExpandingArchive.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/archive/XmlArchive.h"

#include <gtest/gtest.h>

namespace {

using sonavell::test::expandingArchive;
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

TEST(HostileArchives, SharedContainersExpandOnlyWithinTheBounds)
{
    // Decodes every record's location: how many records were reached, how many locations were
    // copied, and whether the archive stayed readable.
    struct Outcome
    {
        int visited = 0;
        int copied = 0;
        bool valid = false;
        QString error;
        ArchivedObject::Ptr first;
    };
    auto decode = [](const QByteArray& data) {
        KeyedUnarchiver coder(data);
        Outcome out;
        out.visited = coder.decodeRootArray([&](const QString&) {
            if (auto location = coder.decodeObject("location")) {
                ++out.copied;
                if (!out.first)
                    out.first = location;
            }
        });
        out.valid = coder.isValid();
        out.error = coder.errorString();
        return out;
    };

    // 8191 values: within the bound, copied and written back whole.
    const Outcome fits = decode(expandingArchive(12, 1));
    EXPECT_TRUE(fits.valid);
    ASSERT_TRUE(fits.first);
    EXPECT_EQ(fits.first->className(), "CLLocation");
    const Holder holder(fits.first);
    const QByteArray written = KeyedArchiver::archivedDataWithRootArray({&holder});
    KeyedUnarchiver reread(written);
    reread.decodeRootArray([&](const QString&) {
        EXPECT_TRUE(ArchivedObject::equivalent(reread.decodeObject("location"), fits.first));
    });

    // 2^25 values from a file of under a kilobyte: refused after the first ten thousand, and the
    // archive is no longer valid.
    const QByteArray bomb = expandingArchive(24, 1);
    EXPECT_LT(bomb.size(), 1024);
    const Outcome burst = decode(bomb);
    EXPECT_FALSE(burst.valid);
    EXPECT_EQ(burst.copied, 0);
    EXPECT_TRUE(burst.error.contains("expands")) << burst.error.toStdString();

    // Many records whose foreign objects each stay within the bound, but together would expand
    // to a hundred times the file: the archive is refused part-way, without reading the rest.
    const QByteArray many = expandingArchive(12, 300);
    const Outcome spread = decode(many);
    EXPECT_FALSE(spread.valid);
    EXPECT_LT(spread.visited, 300);
    EXPECT_LT(spread.copied * 8192, many.size() + int(KeyedUnarchiver::kMaxForeignNodes));
}
