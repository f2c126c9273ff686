#include "gui/contactless/ContactlessWorker.h"

#include "core/session/CardLibrary.h"
#include "insight/PcscCodeNames.h"

void PendingLog::AppendLine(std::string_view line) {
    const std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

void PendingLog::ClearLog() {
    const std::lock_guard lock(mutex_);
    lines_.clear();
}

std::vector<std::string> PendingLog::Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}

ContactlessWorker::ContactlessWorker(CardLibraryFactory libraries)
    : libraries_(std::move(libraries)), inThread_(new QObject) {
    thread_.setObjectName(QStringLiteral("ContactlessWorker"));
    inThread_->moveToThread(&thread_);
    thread_.start();
}

ContactlessWorker::~ContactlessWorker() {
    thread_.quit();
    thread_.wait();  // the job under way ends first; queued ones are dropped with the thread
    delete inThread_;
}

void ContactlessWorker::Run(const std::string& reader, Job job, QObject* receiver, Done done) {
    QMetaObject::invokeMethod(
        inThread_,
        [this, reader, job = std::move(job), receiver, done = std::move(done)] {
            if (!library_ && libraries_) {
                library_ = libraries_();
            }
            std::string error = "No card library for the worker.";
            if (library_) {
                CardLibraryChannel channel(
                    *library_, [this](std::string_view line) { log_.AppendLine(line); });
                error.clear();
                if (const std::uint32_t code = channel.Open(reader, error); code == 0) {
                    error.clear();
                    job(channel);
                } else if (error.empty()) {
                    error = "Cannot connect to the card: " + PcscCodeText(code);
                }
            }
            QMetaObject::invokeMethod(
                receiver, [done, error] { done(error); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
