#pragma once

#include "SharingTestSupport.h"

#include "core/Recording.h"
#include "platform/net/NetService.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ProgressView.h"
#include "sharing/RELO_BrowserController.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QUuid>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace sonavell::test {

// A push screen over a private documents folder whose current recording the test chooses, with
// every screen code it shows recorded in order.
class PushScreenFixture
{
public:
    explicit PushScreenFixture(RELO_BrowserController::Environment env = {})
    {
        env.documentsPath = documents.path();
        env.currentRecording = [this] { return recording; };
        screen = std::make_unique<RELO_BrowserController>(std::move(env));
        QObject::connect(screen.get(), &RELO_BrowserController::screenCodeShown,
                         [this](int code) { codes.push_back(code); });
    }

    // A recording of that name whose file holds `bytes`; it becomes the current one.
    std::shared_ptr<Recording> addRecording(const QString& name, const QByteArray& bytes)
    {
        auto r = std::make_shared<Recording>(name, QUuid::createUuid().toString(),
                                             QStringLiteral("Ideas"));
        r->setFilename(QStringLiteral("REC%1.wav").arg(++m_files));
        documents.write(r->filename(), bytes);
        recording = r;
        return r;
    }

    // Shows the screen and waits until the named receiver is listed and resolved; selects it.
    bool appearAndSelect(const QString& receiverName, int timeoutMs = 20000)
    {
        screen->viewWillAppear(false);
        return select(receiverName, timeoutMs);
    }

    bool select(const QString& receiverName, int timeoutMs = 20000)
    {
        int row = -1;
        const bool found = waitFor(
            [&] {
                const auto& list = screen->services();
                for (size_t i = 0; i < list.size(); ++i)
                    if (list[i]->name() == receiverName && !list[i]->addresses().empty())
                        row = static_cast<int>(i);
                return row >= 0 && screen->receiverPicker->titleForRow(row, 0) == receiverName;
            },
            timeoutMs);
        if (found)
            screen->receiverPicker->selectRow(row, 0, false);
        return found;
    }

    // Presses Send and waits until the push has ended (idle or failed shown).
    bool sendAndWait(int timeoutMs = 20000)
    {
        codes.clear();
        screen->sendButton->click();
        return waitFor(
            [&] {
                return !screen->isPushRunning() && !codes.empty() &&
                       (codes.back() == RELO_BrowserController::kIdle ||
                        codes.back() == RELO_BrowserController::kFailed);
            },
            timeoutMs);
    }

    // The codes with the progress updates (5) left out.
    std::vector<int> milestones() const
    {
        std::vector<int> result;
        for (int code : codes)
            if (code != RELO_BrowserController::kProgress)
                result.push_back(code);
        return result;
    }

    ScratchDir documents;
    std::shared_ptr<Recording> recording;
    std::unique_ptr<RELO_BrowserController> screen;
    std::vector<int> codes;

private:
    int m_files = 0;
};

// A stream pair that records the size of every write it is offered and, when asked, takes at
// most `limit` bytes of each (as a congested connection would).
class RecordingStreams : public StreamPair
{
public:
    RecordingStreams(const Endpoint& endpoint, qint64 limit)
        : StreamPair(endpoint)
        , m_limit(limit)
    {
    }

    struct Log
    {
        std::mutex mutex;
        std::vector<qint64> offered;
        std::vector<qint64> taken;
    };
    std::shared_ptr<Log> log = std::make_shared<Log>();

protected:
    qint64 sendSome(int fd, const char* data, qint64 length) override
    {
        const qint64 n =
            StreamPair::sendSome(fd, data, m_limit > 0 ? std::min(length, m_limit) : length);
        std::lock_guard lock(log->mutex);
        log->offered.push_back(length);
        log->taken.push_back(n);
        return n;
    }

private:
    qint64 m_limit;
};

} // namespace sonavell::test
