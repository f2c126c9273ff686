#include "gui/contactless/ContactlessWorker.h"

#include "core/apdu/CardExchange.h"
#include "core/common/LogFormat.h"
#include "core/session/CardLibrary.h"

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

CardReply LoggedTransmit(CardConnection& connection, ResponseLog& log,
                         const std::vector<std::uint8_t>& command) {
    AppendSentData(log, command.data(), static_cast<std::int32_t>(command.size()));
    CardReply reply = connection.Transmit(command);
    LogExchangeOutcome(reply.code, reply.bytes.data(),
                       static_cast<std::uint32_t>(reply.bytes.size()), kCardExchangeWording, log);
    return reply;
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
            std::uint32_t code = kUnsupportedFeature;
            if (library_) {
                CardConnection connection(*library_);
                code = connection.Establish();
                if (code == 0) {
                    code = connection.Connect(reader, kProtocolT0 | kProtocolT1);
                }
                if (code == 0) {
                    job(connection, log_);
                }
            }
            QMetaObject::invokeMethod(
                receiver, [done, code] { done(code); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
