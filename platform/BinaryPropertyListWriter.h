#pragma once

#include <QByteArray>

// Serialises a libplist tree as a binary property list ("bplist00"). The library's own writer
// takes seconds for a large library's archive; this one is linear in the number of objects.
// Equal strings and dictionary keys are stored once, as the platform's writer does.
class BinaryPropertyListWriter
{
public:
    static QByteArray write(const void* root);
};
