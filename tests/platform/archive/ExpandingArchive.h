// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/archive/BinaryPropertyListWriter.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace sonavell::test {

// A binary keyed archive of `records` Recording entries, each with a foreign object of its own
// under "location". Every foreign object holds the same array, which holds one array twice, and
// so on `depth` levels down: a file of a few hundred bytes whose foreign objects each expand to
// 2^(depth + 1) values when they are copied.
inline QByteArray expandingArchive(int depth, int records)
{
    BinaryPropertyListWriter w;
    using Ref = BinaryPropertyListWriter::Ref;
    auto s = [&w](const char* text) { return w.string(QString::fromLatin1(text)); };
    Ref shared = w.integer(7);
    for (int level = 0; level < depth; ++level)
        shared = w.array({shared, shared});

    // $objects: "$null", the root array, its class, the Recording class, the location class,
    // then a record and its location for each record.
    const uint64_t recordingClass = 3;
    const uint64_t locationClass = 4;
    std::vector<Ref> objects{s("$null"), w.reserve(),
                             w.dictionary({{s("$classname"), s("NSMutableArray")}}),
                             w.dictionary({{s("$classname"), s("Recording")}}),
                             w.dictionary({{s("$classname"), s("CLLocation")}})};
    std::vector<Ref> items;
    for (int i = 0; i < records; ++i) {
        const uint64_t record = objects.size();
        items.push_back(w.uid(record));
        objects.push_back(w.dictionary({{s("$class"), w.uid(recordingClass)},
                                        {s("name"), s("Bomb")},
                                        {s("location"), w.uid(record + 1)}}));
        objects.push_back(
            w.dictionary({{s("$class"), w.uid(locationClass)}, {s("altitude"), shared}}));
    }
    w.setDictionary(objects[1], {{s("NS.objects"), w.array(items)}, {s("$class"), w.uid(2)}});
    const Ref top = w.dictionary({{s("root"), w.uid(1)}});
    return w.finish(w.dictionary({{s("$archiver"), s("NSKeyedArchiver")},
                                  {s("$version"), w.integer(100000)},
                                  {s("$top"), top},
                                  {s("$objects"), w.array(objects)}}));
}

} // namespace sonavell::test
