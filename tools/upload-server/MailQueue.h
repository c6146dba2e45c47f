// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MailSender.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Mails sent one after another on a thread of their own, so that a slow smarthost holds no
// request worker: a request hands its mail over and waits for the outcome only as long as it
// chooses. A mail that has not started by then can be taken back.
class MailQueue
{
public:
    using Clock = std::chrono::steady_clock;
    // Called on the mail thread once the smarthost has answered (sent) or the mail failed.
    using Done = std::function<void(bool sent, const std::string& error)>;

    enum class State
    {
        Queued,
        Sending,
        Sent,
        Failed,
        Withdrawn, // taken back before it started; its Done is never called
    };

    struct Job
    {
        MailSender::Mail mail;
        Done done;
        State state = State::Queued;
        std::string error;
    };
    using Ticket = std::shared_ptr<Job>;

    explicit MailQueue(MailSender sender);
    // Withdraws the mails that have not started, lets the one being sent finish, and ends the
    // thread.
    ~MailQueue();
    MailQueue(const MailQueue&) = delete;
    MailQueue& operator=(const MailQueue&) = delete;

    Ticket submit(MailSender::Mail mail, Done done);
    // Waits until the mail is sent or has failed, until `deadline`, or until shutdown(). A mail
    // still queued then is withdrawn. Returns its state; `error` says why a mail failed.
    State await(const Ticket& ticket, Clock::time_point deadline, std::string& error);
    // Ends every wait at once; mails submitted later are withdrawn as they are awaited.
    void shutdown();

private:
    void run();

    MailSender m_sender;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Ticket> m_queue;
    bool m_stopping = false;
    std::thread m_thread;
};
