// SPDX-License-Identifier: GPL-3.0-or-later
#include "MailQueue.h"

#include <algorithm>

MailQueue::MailQueue(MailSender sender)
    : m_sender(std::move(sender))
    , m_thread([this] { run(); })
{
}

MailQueue::~MailQueue()
{
    shutdown();
    m_thread.join();
}

MailQueue::Ticket MailQueue::submit(MailSender::Mail mail, Done done)
{
    auto job = std::make_shared<Job>();
    job->mail = std::move(mail);
    job->done = std::move(done);
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(job);
    }
    m_changed.notify_all();
    return job;
}

MailQueue::State MailQueue::await(const Ticket& ticket, Clock::time_point deadline,
                                  std::string& error)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, deadline, [&] {
        return m_stopping || ticket->state == State::Sent || ticket->state == State::Failed;
    });
    if (ticket->state == State::Queued) {
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), ticket), m_queue.end());
        ticket->state = State::Withdrawn;
    }
    error = ticket->error;
    return ticket->state;
}

void MailQueue::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
}

void MailQueue::run()
{
    for (;;) {
        Ticket job;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            job = m_queue.front();
            m_queue.pop_front();
            job->state = State::Sending;
        }
        std::string error;
        const bool sent = m_sender.send(job->mail, error);
        // The outcome's consequences (the upload forgotten, the log line) come first, so that a
        // request that sees the outcome finds them done.
        if (job->done)
            job->done(sent, error);
        {
            std::lock_guard lock(m_mutex);
            job->state = sent ? State::Sent : State::Failed;
            job->error = error;
        }
        m_changed.notify_all();
    }
}
