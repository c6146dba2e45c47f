// SPDX-License-Identifier: GPL-3.0-or-later
// The address book: people read from the vCard files that real address books write.
#include "support/TestEnvironment.h"

#include "platform/system/AddressBook.h"
#include "platform/system/VCardReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <iostream>

#include <sys/stat.h>

using sonavell::test::ScratchDir;
using Person = VCardReader::Person;

namespace {

std::vector<Person> read(const char* text)
{
    return VCardReader::read(QByteArray(text));
}

} // namespace

TEST(VCardReader, ReadsTheVersionsAndTheirEncodings)
{
    // 4.0 with PREF, folding, a group and escapes; the preferred address comes first.
    auto people = read("BEGIN:VCARD\r\nVERSION:4.0\r\n"
                       "FN:Smith\\, Anne-Marie \\; Co\r\n"
                       "EMAIL;TYPE=work:anne@wo\r\n rk.example\r\n"
                       "item1.EMAIL;PREF=1:anne@home.example\r\n"
                       "item1.X-ABLabel:private\r\n"
                       "END:VCARD\r\n");
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0].name, QStringLiteral("Smith, Anne-Marie ; Co"));
    EXPECT_EQ(people[0].emails, (QStringList{"anne@home.example", "anne@work.example"}));

    // 3.0: TYPE=pref among other types, lower-case names, N used when FN is missing, LF lines.
    people = read("begin:vcard\nversion:3.0\nn:Müller;Jürgen;;Dr.;\n"
                  "email;type=INTERNET:j@one.example\nemail;type=INTERNET,pref:j@two.example\n"
                  "end:vcard\n");
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0].name, QStringLiteral("Dr. Jürgen Müller"));
    EXPECT_EQ(people[0].emails, (QStringList{"j@two.example", "j@one.example"}));

    // 2.1: quoted-printable in UTF-8 and in Latin-1, with a soft line break; bare type params.
    people = read("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                  "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=85sa;Bj=C3=B6rk=\r\n;;;\r\n"
                  "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Bj=C3=B6rk =\r\n=C3=85sa\r\n"
                  "EMAIL;INTERNET;HOME:bjork@example.org\r\n"
                  "END:VCARD\r\n"
                  "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                  "FN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Fran=E7ois\r\n"
                  "END:VCARD\r\n");
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(people[0].name, QStringLiteral("Björk Åsa"));
    EXPECT_EQ(people[0].emails, QStringList{"bjork@example.org"});
    EXPECT_EQ(people[1].name, QStringLiteral("François"));
    EXPECT_TRUE(people[1].emails.isEmpty());
}

TEST(VCardReader, CopesWithWhatItDoesNotUnderstand)
{
    // A byte order mark, an embedded card, a photo, junk lines, a card with no name but an
    // address, one with neither, and a card cut off at the end of the file.
    const auto people =
        read("\xEF\xBB\xBF"
             "BEGIN:VCARD\nVERSION:3.0\nFN:Outer\n"
             "AGENT:BEGIN:VCARD\nBEGIN:VCARD\nFN:Inner\nEMAIL:inner@example.org\nEND:VCARD\n"
             "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ==\n"
             "this line has no colon\n"
             "EMAIL:outer@example.org\nEND:VCARD\n"
             "BEGIN:VCARD\nVERSION:3.0\nEMAIL:nameless@example.org\nEND:VCARD\n"
             "BEGIN:VCARD\nVERSION:3.0\nNOTE:nothing\nEND:VCARD\n"
             "BEGIN:VCARD\nVERSION:3.0\nFN:Cut off\n");
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(people[0].name, QStringLiteral("Outer"));
    EXPECT_EQ(people[0].emails, QStringList{"outer@example.org"});
    EXPECT_EQ(people[1].name, QStringLiteral("nameless@example.org"));
    EXPECT_TRUE(read("").empty());
    EXPECT_TRUE(read("\xff\xfe garbage: BEGIN:VCARD").empty());
}

TEST(AddressBook, ReadsThePhonesStoreTheContactsFolderAndTheSetting)
{
    // The tests' data folder is a private one (XDG_DATA_HOME).
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    ScratchDir home;
    const QStringList sources = AddressBook::defaultSources(home.file("mine.vcf"));
    ASSERT_EQ(sources.size(), 3);
    EXPECT_EQ(sources[0], data + "/kpeoplevcard");
    EXPECT_EQ(sources[1], data + "/contacts");
    EXPECT_EQ(AddressBook::defaultSources(QString()).size(), 2);

    ScratchDir store;
    store.write("kpeoplevcard/1.vcf",
                "BEGIN:VCARD\nVERSION:3.0\nFN:zoë\nEMAIL:zoe@example.org\nEND:VCARD\n");
    store.write("kpeoplevcard/2.vcf", "BEGIN:VCARD\nVERSION:3.0\nFN:Ed\nEND:VCARD\n");
    store.write("kpeoplevcard/notes.txt", "BEGIN:VCARD\nFN:Not a contact file\nEND:VCARD\n");
    store.write("contacts/all.vcf", "BEGIN:VCARD\nVERSION:3.0\nFN:Carl\nEND:VCARD\n"
                                    "BEGIN:VCARD\nVERSION:3.0\nFN:adam\nEND:VCARD\n");
    store.write("mine.vcf", "BEGIN:VCARD\nVERSION:3.0\nFN:zoë\nEMAIL:zoe@example.org\nEND:VCARD\n"
                            "BEGIN:VCARD\nVERSION:3.0\nFN:Bea\nEND:VCARD\n");
    const auto people = AddressBook::load({store.file("kpeoplevcard"), store.file("contacts"),
                                           store.file("mine.vcf"), store.file("missing")});
    QStringList names;
    for (const auto& person : people)
        names << person.name;
    // In the language's order, whatever the case, the same person once.
    EXPECT_EQ(names, (QStringList{"adam", "Bea", "Carl", "Ed", "zoë"}));
}

TEST(VCardReader, ManyAddressesAreListedOnceInTheirFirstPlace)
{
    // 100,000 addresses in one card, each written twice, the preferred ones in between.
    QByteArray card = "BEGIN:VCARD\nVERSION:3.0\nFN:Many\n";
    constexpr int kDistinct = 50000;
    for (int i = 0; i < 2 * kDistinct; ++i) {
        const int n = i % kDistinct;
        card += n % 10000 == 5 ? "EMAIL;PREF=1:" : "EMAIL:";
        card += "a" + QByteArray::number(n) + "@example.org\n";
    }
    card += "END:VCARD\n";
    QElapsedTimer timer;
    timer.start();
    const auto people = VCardReader::read(card);
    std::cout << "[ figure ] 100,000 addresses read in " << timer.elapsed() << " ms\n";
    ASSERT_EQ(people.size(), 1u);
    const QStringList& emails = people[0].emails;
    ASSERT_EQ(emails.size(), kDistinct);
    // The preferred ones first, then the rest in the order they first appear.
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(emails[k], QStringLiteral("a%1@example.org").arg(k * 10000 + 5));
    EXPECT_EQ(emails[5], "a0@example.org");
    EXPECT_EQ(emails[10], "a6@example.org") << "a5 was moved ahead";
    EXPECT_EQ(emails.last(), QStringLiteral("a%1@example.org").arg(kDistinct - 1));
}

TEST(AddressBook, ReadsOnlyRegularFilesAndNoMoreThanTheBound)
{
    ScratchDir store;
    store.write("contacts/good.vcf",
                "BEGIN:VCARD\nVERSION:3.0\nFN:Good\nEMAIL:good@example.org\nEND:VCARD\n");
    // A device and a FIFO dressed as contact files: reading either would never end.
    ASSERT_TRUE(QFile::link("/dev/zero", store.file("contacts/x.vcf")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(store.file("contacts/y.vcf")).constData(), 0600), 0);
    // A sparse file over the bound.
    QFile big(store.file("contacts/big.vcf"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(AddressBook::kMaxFileBytes + 1));
    big.close();

    std::vector<Person> people;
    EXPECT_NO_THROW(people =
                        AddressBook::load({store.file("contacts"), store.file("contacts/x.vcf"),
                                           store.file("contacts/y.vcf")}));
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0].name, "Good");
}

TEST(AddressBook, LoadsInTheBackgroundAndAnswersOnTheReceiversThread)
{
    ScratchDir store;
    store.write("contacts/a.vcf",
                "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\nEMAIL:ann@example.org\nEND:VCARD\n");
    QObject receiver;
    std::vector<Person> people;
    bool done = false;
    QThread* answeredOn = nullptr;
    AddressBook::loadInBackground({store.file("contacts")}, &receiver,
                                  [&](std::vector<Person> result) {
                                      people = std::move(result);
                                      answeredOn = QThread::currentThread();
                                      done = true;
                                  });
    EXPECT_FALSE(done) << "never from inside the call";
    ASSERT_TRUE(sonavell::test::waitFor([&] { return done; }));
    EXPECT_EQ(answeredOn, receiver.thread());
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0].emails, QStringList{"ann@example.org"});

    // A receiver that goes first is not called.
    bool late = false;
    {
        QObject shortLived;
        AddressBook::loadInBackground({store.file("contacts")}, &shortLived,
                                      [&](std::vector<Person>) { late = true; });
    }
    QThreadPool::globalInstance()->waitForDone();
    sonavell::test::pumpEvents(50);
    EXPECT_FALSE(late);
}
