#include "support/RecordingMessageBoxes.h"

void RecordingMessageBoxes::ShowError(const std::string& text) {
    Record(Kind::Error, text);
}

void RecordingMessageBoxes::ShowInfo(const std::string& text) {
    Record(Kind::Info, text);
}

bool RecordingMessageBoxes::AskYesNo(const std::string& text) {
    Record(Kind::Question, text);
    return answer_;
}

void RecordingMessageBoxes::Record(Kind kind, const std::string& text) {
    Box box{kind, text, {}};
    for (const auto& count : watched_) {
        box.logLineCounts.push_back(count());
    }
    boxes_.push_back(std::move(box));
    if (whileOpen_) {
        whileOpen_();
    }
}

std::vector<std::string> RecordingMessageBoxes::Errors() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes_) {
        if (box.kind == Kind::Error) {
            texts.push_back(box.text);
        }
    }
    return texts;
}

std::vector<std::string> RecordingMessageBoxes::Infos() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes_) {
        if (box.kind == Kind::Info) {
            texts.push_back(box.text);
        }
    }
    return texts;
}

std::vector<std::string> RecordingMessageBoxes::Questions() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes_) {
        if (box.kind == Kind::Question) {
            texts.push_back(box.text);
        }
    }
    return texts;
}
