#pragma once

#include <QObject>
#include <QThread>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/ResponseLog.h"
#include "core/contactless/ContactlessChannel.h"
#include "core/session/CardLibraryFactory.h"

// Lines written on the worker and taken by the window on its own timer.
class PendingLog : public ResponseLog {
  public:
    void AppendLine(std::string_view line) override;
    void ClearLog() override;
    std::vector<std::string> Take();

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// The contactless window's card work, in a thread of its own with a card library of its
// own. Each job gets a context and a connection to the reader of its own, released when
// the job ends; its exchanges are logged in the program's line formats into Log(), and the
// window learns of the end through a queued call.
class ContactlessWorker {
  public:
    using Job = std::function<void(ContactlessChannel& channel)>;
    // Empty when the job ran, else the line that says why the card could not be reached.
    using Done = std::function<void(const std::string& error)>;

    explicit ContactlessWorker(CardLibraryFactory libraries);
    ~ContactlessWorker();
    ContactlessWorker(const ContactlessWorker&) = delete;
    ContactlessWorker& operator=(const ContactlessWorker&) = delete;

    // Runs `job` on the card in `reader`; `done` runs afterwards in `receiver`'s thread,
    // unless the receiver has gone.
    void Run(const std::string& reader, Job job, QObject* receiver, Done done);
    PendingLog& Log() { return log_; }

  private:
    CardLibraryFactory libraries_;
    std::unique_ptr<CardLibrary> library_;  // made and used on the worker only
    PendingLog log_;
    QThread thread_;
    QObject* inThread_;  // lives in thread_: what queued jobs are posted to
};
