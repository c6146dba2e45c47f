// SPDX-License-Identifier: GPL-3.0-or-later
// The in-place reader of binary property lists: values decode as libplist decodes them (which
// is how archives were read before), damaged files are refused without reading outside them,
// and XML archives read exactly like their binary form.
#include "platform/archive/BinaryPropertyList.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/archive/PlistNodes.h"
#include "platform/archive/XmlArchive.h"

#include "support/TestEnvironment.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Type = BinaryPropertyList::Type;
using sonavell::test::uid;
using sonavell::test::xmlArchive;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += char(v);
    return out;
}

// A binary property list of the given objects (1-byte offsets and references) whose top object
// is object 0.
QByteArray binaryPlist(const std::vector<QByteArray>& objects)
{
    QByteArray out = "bplist00";
    QByteArray table;
    for (const QByteArray& object : objects) {
        table += char(out.size());
        out += object;
    }
    const uint64_t tableOffset = uint64_t(out.size());
    out += table + QByteArray(6, '\0') + char(1) + char(1);
    for (uint64_t v : {uint64_t(objects.size()), uint64_t(0), tableOffset})
        for (int b = 7; b >= 0; --b)
            out += char((v >> (8 * b)) & 0xFF);
    return out;
}

// An array (object 0) holding `values` as objects 1...
QByteArray arrayOf(const std::vector<QByteArray>& values)
{
    QByteArray array = QByteArray(1, char(0xA0 | values.size()));
    for (size_t i = 0; i < values.size(); ++i)
        array += char(i + 1);
    std::vector<QByteArray> objects{array};
    objects.insert(objects.end(), values.begin(), values.end());
    return binaryPlist(objects);
}

// The string libplist made of item `i` of the top array, as the reader used to return it.
QString libplistString(const QByteArray& file, uint32_t i)
{
    plist_t root = nullptr;
    plist_from_bin(file.constData(), uint32_t(file.size()), &root);
    const QString s = root ? PlistNodes::stringValue(plist_array_get_item(root, i)) : "(refused)";
    plist_free(root);
    return s;
}

// XML references ({"CF$UID": n}) as reference nodes, as a binary writer would store them.
plist_t withReferences(plist_t node)
{
    if (plist_get_node_type(node) == PLIST_DICT) {
        plist_t ref = plist_dict_get_item(node, "CF$UID");
        if (ref && plist_dict_get_size(node) == 1) {
            uint64_t v = 0;
            plist_get_uint_val(ref, &v);
            return plist_new_uid(v);
        }
        plist_t out = plist_new_dict();
        for (const auto& [key, value] : PlistNodes::dictItems(node))
            plist_dict_set_item(out, key.constData(), withReferences(value));
        return out;
    }
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        plist_t out = plist_new_array();
        for (plist_t item : PlistNodes::arrayItems(node))
            plist_array_append_item(out, withReferences(item));
        return out;
    }
    return plist_copy(node);
}

// A foreign object as the reader used to copy it: the libplist node of its entry with every
// reference renumbered by its place, and the objects they named as children.
ArchivedObject::Ptr libplistForeign(plist_t objects, uint64_t index)
{
    plist_t entry = plist_array_get_item(objects, uint32_t(index));
    if (index == 0 || PlistNodes::stringEquals(entry, "$null"))
        return nullptr;
    plist_t copy = plist_copy(entry);
    std::vector<uint64_t> refs;
    PlistNodes::mapReferences(copy, [&](uint64_t k) -> uint64_t {
        if (k == 0)
            return 0;
        refs.push_back(k);
        return refs.size();
    });
    std::vector<ArchivedObject::Ptr> children;
    for (uint64_t ref : refs)
        children.push_back(libplistForeign(objects, ref));
    return std::make_shared<const ArchivedObject>(copy, std::move(children));
}

// A record with values of every kind, and a location object with nested containers.
QByteArray sampleXml()
{
    return xmlArchive(
        uid(2), "<dict><key>$class</key>" + uid(3) +
                    "<key>name</key><string>Zürich 😀</string>"
                    "<key>plain</key><string>memo</string>"
                    "<key>date</key>" +
                    uid(4) +
                    "<key>duration</key><real>12.25</real><key>channels</key><integer>-3</integer>"
                    "<key>hideweb</key><true/><key>photo</key><data>AQID</data>"
                    "<key>location</key>" +
                    uid(5) +
                    "</dict><dict><key>$classname</key><string>Recording</string></dict>"
                    "<dict><key>NS.time</key><real>600000000.5</real></dict>"
                    "<dict><key>$class</key>" +
                    uid(6) +
                    "<key>lat</key><real>43.45</real><key>n</key><integer>-7</integer>"
                    "<key>when</key><date>2020-01-02T03:04:05Z</date>"
                    "<key>raw</key><data>AAEC</data><key>text</key><string>Straße</string>"
                    "<key>list</key><array><integer>1</integer>" +
                    uid(0) + uid(6) +
                    "<dict><key>k</key><false/></dict></array></dict>"
                    "<dict><key>$classname</key><string>CLLocation</string></dict>");
}

// The binary form of a libplist tree.
QByteArray binaryOf(plist_t tree)
{
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(tree, &bin, &length);
    const QByteArray binary(bin, qsizetype(length));
    plist_to_bin_free(bin);
    return binary;
}

} // namespace

TEST(BinaryPropertyList, NumbersDecodeInEveryWidth)
{
    const QByteArray file = arrayOf({
        bytes({0x10, 0xFF}),                   // 255: small ints are unsigned
        bytes({0x11, 0xFF, 0xFE}),             // 65534
        bytes({0x12, 0xFF, 0xFF, 0xFF, 0xFE}), // 4294967294
        bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}), // -2
        bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB}),
        bytes({0x22, 0x3F, 0xC0, 0, 0}),             // 1.5 as a float
        bytes({0x23, 0xC0, 0x04, 0, 0, 0, 0, 0, 0}), // -2.5 as a double
        bytes({0x80, 5}),                            // UIDs of 1, 3, 5, 9, 16 bytes
        bytes({0x82, 1, 2, 3}), bytes({0x84, 0, 0, 0, 1, 2}),
        bytes({0x88, 9, 0, 0, 0, 0, 0, 0, 1, 2}),
        bytes({0x8F, 9, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0, 7}), bytes({0x09}),
        bytes({0x33, 0x41, 0xC0, 0, 0, 0, 0, 0, 1}), // a date is not a number
    });
    BinaryPropertyList plist;
    ASSERT_TRUE(plist.load(file));
    auto at = [&](uint64_t i) { return plist.item(plist.top(), i); };
    const int64_t integers[] = {255, 65534, 4294967294LL, -2, -5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(plist.type(at(i)), Type::Integer);
        EXPECT_EQ(plist.integer(at(i)), integers[i]) << i;
    }
    EXPECT_EQ(plist.number(at(5)), 1.5);
    EXPECT_EQ(plist.number(at(6)), -2.5);
    const uint64_t uids[] = {5, 66051, 258, 258, 7};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(plist.uid(at(7 + i)), uids[i]) << i;
    EXPECT_EQ(plist.number(at(12)), 1.0);
    EXPECT_EQ(plist.type(at(13)), Type::Date);
    EXPECT_EQ(plist.number(at(13)), std::nullopt);
    EXPECT_EQ(plist.item(plist.top(), 14), BinaryPropertyList::kNone);
}

TEST(BinaryPropertyList, StringsReadAsTheyAlwaysWere)
{
    const QByteArray longText(20, 'x');
    const std::vector<QByteArray> strings = {
        bytes({0x53, 'a', 0xC3, 0xA9}),                // UTF-8 bytes under the single-byte marker
        bytes({0x53, 'a', 0xE9, 'b'}),                 // and bytes that are not UTF-8
        bytes({0x53, 'a', 0, 'b'}),                    // ends at NUL
        bytes({0x50}),                                 // empty
        bytes({0x61, 0, 0xE9}),                        // UTF-16
        bytes({0x62, 0xD8, 0x3D, 0xDE, 0x00}),         // a surrogate pair
        bytes({0x63, 0xD8, 0x3D, 0, 'a', 0xDE, 0x00}), // a lead waiting past a character
        bytes({0x62, 0xDE, 0x00, 0, 'a'}),             // a lone trail
        bytes({0x63, 0xD8, 0x3D, 0xD8, 0x3D, 0xDE, 0x00}), // two leads cancel
        bytes({0x63, 0, 'a', 0, 0, 0, 'b'}),               // ends at NUL
        bytes({0x62, 0xFF, 0xFE, 0xFF, 0xFF}),             // noncharacters
        bytes({0x5F, 0x10, 20}) + longText,                // lengths of 15 and more
        bytes({0x6F, 0x11, 0, 20}) + QByteArray("\0x", 2).repeated(20),
    };
    const QByteArray file = arrayOf(strings);
    BinaryPropertyList plist;
    ASSERT_TRUE(plist.load(file));
    for (uint32_t i = 0; i < strings.size(); ++i) {
        const auto s = plist.item(plist.top(), i);
        EXPECT_EQ(plist.string(s), libplistString(file, i)) << i;
        EXPECT_EQ(QString::fromUtf8(plist.stringUtf8(s)), plist.string(s)) << i;
    }
    EXPECT_EQ(plist.string(plist.item(plist.top(), 11)), QString(longText));
    EXPECT_TRUE(plist.stringEquals(plist.item(plist.top(), 2), "a"));
    EXPECT_FALSE(plist.stringEquals(plist.item(plist.top(), 0), "a"));
}

TEST(BinaryPropertyList, DamagedFilesAreRefused)
{
    const QByteArray good = arrayOf({bytes({0x10, 3})});
    QByteArray offsetIntoHeader = good;
    offsetIntoHeader[good.size() - 32 - 1] = 2;
    QByteArray tableIntoTrailer = good;
    tableIntoTrailer[good.size() - 1] = char(good.size() - 32 - 1);
    QByteArray offsetPastTable = good;
    offsetPastTable[good.size() - 32 - 1] = char(good.size() - 32 - 2);
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"integer running into the table", arrayOf({bytes({0x13, 1, 2, 3})})},
        {"string running into the table", arrayOf({bytes({0x5A, 'a'})})},
        {"UTF-16 string running into the table", arrayOf({bytes({0x62, 0, 'a', 0})})},
        {"long length running into the table", arrayOf({bytes({0x4F, 0x13, 0, 0})})},
        {"length that is not an integer", arrayOf({bytes({0x4F, 0x20, 2, 1, 2})})},
        {"array running into the table", binaryPlist({bytes({0xA5, 1}), bytes({0x10, 3})})},
        {"reference past the objects", binaryPlist({bytes({0xA1, 7}), bytes({0x10, 3})})},
        {"empty UTF-16 string", arrayOf({bytes({0x60})})},
        {"null", arrayOf({bytes({0x00})})},
        {"fill byte", arrayOf({bytes({0x0F})})},
        {"integer of 32 bytes", arrayOf({bytes({0x15}) + QByteArray(32, 1)})},
        {"real of 1 byte", arrayOf({bytes({0x20, 1})})},
        {"date of 4 bytes", arrayOf({bytes({0x32, 0, 0, 0, 0})})},
        {"UID beyond 32 bits", arrayOf({bytes({0x84, 1, 0, 0, 0, 0})})},
        {"unknown marker 0x7", arrayOf({bytes({0x70})})},
        {"unknown marker 0x9", arrayOf({bytes({0x90})})},
        {"unknown marker 0xB", arrayOf({bytes({0xB0})})},
        {"unknown marker 0xE", arrayOf({bytes({0xE0})})},
        {"unknown marker 0xF", arrayOf({bytes({0xF0})})},
        {"key that is not a string",
         binaryPlist({bytes({0xD1, 2, 2}), bytes({0x51, 'k'}), bytes({0x10, 3})})},
        {"offset into the header", offsetIntoHeader},
        {"offset table into the trailer", tableIntoTrailer},
        {"offset past the objects", offsetPastTable},
        {"truncated", good.left(good.size() - 1)},
    };
    for (const auto& [what, file] : cases) {
        BinaryPropertyList plist;
        EXPECT_FALSE(plist.load(file)) << what;
        // libplist refused each of these whole, and the archive reader still does.
        plist_t root = nullptr;
        plist_from_bin(file.constData(), uint32_t(file.size()), &root);
        EXPECT_EQ(root, nullptr) << what;
        plist_free(root);
        EXPECT_EQ(KeyedUnarchiver(file).errorString(), "not a property list") << what;
    }
    // An XML file whose root array holds references is no archive (and is not leaked).
    EXPECT_EQ(
        KeyedUnarchiver("<plist version=\"1.0\"><array>" + uid(1).toUtf8() + "</array></plist>")
            .errorString(),
        "not a property list");
    // Objects nothing refers to are not read, and were never checked.
    BinaryPropertyList plist;
    EXPECT_TRUE(plist.load(binaryPlist({bytes({0xA1, 1}), bytes({0x10, 3}), bytes({0x70})})));
}

TEST(BinaryPropertyList, XmlArchiveReadsLikeItsBinaryForm)
{
    const QByteArray xml = sampleXml();
    plist_t tree = PlistNodes::fromXml(xml);
    plist_t converted = withReferences(tree);
    const QByteArray binary = binaryOf(converted);

    struct Read
    {
        QString name, plain;
        QDateTime date;
        double duration = 0;
        int32_t channels = 0;
        bool hideweb = false;
        QByteArray photo;
        ArchivedObject::Ptr location;
    };
    auto read = [](const QByteArray& data) {
        KeyedUnarchiver coder(data);
        EXPECT_TRUE(coder.isValid()) << coder.errorString().toStdString();
        Read r;
        coder.decodeRootArray([&](const QString& className) {
            EXPECT_EQ(className, "Recording");
            r = {coder.decodeString("name"),    coder.decodeString("plain"),
                 coder.decodeDate("date"),      coder.decodeDouble("duration"),
                 coder.decodeInt32("channels"), coder.decodeBool("hideweb"),
                 coder.decodeData("photo"),     coder.decodeObject("location")};
        });
        return r;
    };
    const Read fromXml = read(xml);
    const Read fromBinary = read(binary);
    EXPECT_EQ(fromXml.name, QString::fromUtf8("Zürich 😀"));
    EXPECT_EQ(fromXml.plain, "memo");
    EXPECT_EQ(fromXml.date.toMSecsSinceEpoch(), 978307200000LL + 600000000500LL);
    EXPECT_EQ(fromXml.duration, 12.25);
    EXPECT_EQ(fromXml.channels, -3);
    EXPECT_TRUE(fromXml.hideweb);
    EXPECT_EQ(fromXml.photo, QByteArray("\x01\x02\x03"));
    EXPECT_EQ(fromBinary.name, fromXml.name);
    EXPECT_EQ(fromBinary.plain, fromXml.plain);
    EXPECT_EQ(fromBinary.date, fromXml.date);
    EXPECT_EQ(fromBinary.duration, fromXml.duration);
    EXPECT_EQ(fromBinary.channels, fromXml.channels);
    EXPECT_EQ(fromBinary.hideweb, fromXml.hideweb);
    EXPECT_EQ(fromBinary.photo, fromXml.photo);

    // The location object is the copy libplist's tree gave, from either form.
    ASSERT_TRUE(fromXml.location);
    EXPECT_EQ(fromXml.location->className(), "CLLocation");
    EXPECT_EQ(fromXml.location->numberForKey("n"), -7.0);
    const ArchivedObject::Ptr expected =
        libplistForeign(plist_dict_get_item(converted, "$objects"), 5);
    EXPECT_TRUE(ArchivedObject::equivalent(fromXml.location, expected));
    EXPECT_TRUE(ArchivedObject::equivalent(fromBinary.location, expected));
    plist_free(converted);
    plist_free(tree);

    // A hand-made file in Latin-1 reads as it always did: bad bytes become replacement
    // characters, and the rest of the text stays.
    const QByteArray latin1 = QByteArray(xml).replace("memo", "Z\xFCrich Hbf");
    EXPECT_EQ(read(latin1).plain, QString::fromUtf8("Z\xFCrich Hbf"));

    // XML files keep the nesting they were always allowed, twice the binary form's.
    const QByteArray deep =
        xmlArchive(uid(2), "<dict><key>$class</key>" + uid(3) + "<key>location</key>" + uid(4) +
                               "</dict><dict><key>$classname</key><string>Recording</string></dict>"
                               "<dict><key>path</key>" +
                               QString("<array>").repeated(200) +
                               QString("</array>").repeated(200) + "</dict>");
    EXPECT_TRUE(read(deep).location);
}

// A German number format for LC_NUMERIC while it lives (decimal comma), as the program has for
// many of its users: the machine's own de_DE locale, or one made for the test with localedef
// where the machine has the locale sources but has not generated it.
class DecimalCommaNumbers
{
public:
    DecimalCommaNumbers()
    {
        m_saved = std::setlocale(LC_NUMERIC, nullptr);
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            return;
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"),
                        {"-i", "de_DE", "-f", "UTF-8", m_folder.file("de_DE.UTF-8")});
        if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
            return;
        m_savedPath = qgetenv("LOCPATH");
        m_hadPath = qEnvironmentVariableIsSet("LOCPATH");
        qputenv("LOCPATH", m_folder.path().toUtf8());
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    ~DecimalCommaNumbers()
    {
        std::setlocale(LC_NUMERIC, m_saved.c_str());
        if (m_hadPath)
            qputenv("LOCPATH", m_savedPath);
        else
            qunsetenv("LOCPATH");
    }
    bool inForce() const { return std::string(std::localeconv()->decimal_point) == ","; }

private:
    sonavell::test::ScratchDir m_folder;
    std::string m_saved;
    QByteArray m_savedPath;
    bool m_hadPath = false;
};

// The real numbers of an XML archive keep their fractions under a locale with a decimal comma,
// and the program's locale is left as it was.
TEST(BinaryPropertyList, XmlArchiveNumbersReadTheSameInEveryLocale)
{
    DecimalCommaNumbers german;
    if (!german.inForce())
        GTEST_SKIP() << "no de_DE locale here, and none could be made (package locales)";
    KeyedUnarchiver coder(sampleXml());
    ASSERT_TRUE(coder.isValid()) << coder.errorString().toStdString();
    int read = 0;
    coder.decodeRootArray([&](const QString&) {
        ++read;
        EXPECT_EQ(coder.decodeDouble("duration"), 12.25);
        EXPECT_EQ(coder.decodeDate("date").toMSecsSinceEpoch(), 978307200000LL + 600000000500LL);
        EXPECT_EQ(coder.decodeObject("location")->numberForKey("lat"), 43.45);
    });
    EXPECT_EQ(read, 1);
    EXPECT_TRUE(german.inForce());
}

TEST(BinaryPropertyList, MutatedArchivesAreReadSafely)
{
    // Random damage to a real archive: whatever libplist refused is refused, and whatever is
    // accepted decodes without reading outside the file (the sanitizer build checks that).
    plist_t tree = PlistNodes::fromXml(sampleXml());
    plist_t converted = withReferences(tree);
    const QByteArray original = binaryOf(converted);
    plist_free(converted);
    plist_free(tree);
    std::srand(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray file = original;
        for (int n = 1 + std::rand() % 3; n > 0; --n)
            file[std::rand() % file.size()] = char(std::rand() % 256);
        plist_t root = nullptr;
        plist_from_bin(file.constData(), uint32_t(file.size()), &root);
        const bool libplistAccepts = root != nullptr;
        plist_free(root);
        BinaryPropertyList plist;
        if (!libplistAccepts) {
            EXPECT_FALSE(plist.load(file)) << round;
        }
        KeyedUnarchiver coder(file);
        accepted += coder.isValid();
        coder.decodeRootArray([&](const QString&) {
            for (const char* key : {"name", "plain", "date", "duration", "channels", "hideweb",
                                    "photo", "location"}) {
                coder.decodeString(key);
                coder.decodeDate(key);
                coder.decodeInt32(key);
                coder.decodeData(key);
                if (const auto object = coder.decodeObject(key))
                    ArchivedObject::equivalent(object, object);
            }
        });
    }
    EXPECT_GT(accepted, 0);
}
