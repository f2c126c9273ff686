#include "core/common/ResponseLogModel.h"

ResponseLogModel::~ResponseLogModel() {
    if (view_ != nullptr) {
        view_->ModelDestroyed();
    }
}

void ResponseLogModel::AppendLine(std::string_view line) {
    if (view_ != nullptr) {
        view_->LineAppended(line);
    } else {
        lines_.emplace_back(line);
    }
}

void ResponseLogModel::ClearLog() {
    lines_.clear();
    if (view_ != nullptr) {
        view_->LogCleared();
    }
}

std::vector<std::string> ResponseLogModel::Lines() const {
    return view_ != nullptr ? view_->HeldLines() : lines_;
}

void ResponseLogModel::SetView(View* view) {
    if (view_ != nullptr) {
        lines_ = view_->HeldLines();
    }
    view_ = view;
    if (view_ != nullptr) {
        for (const std::string& line : lines_) {
            view_->LineAppended(line);
        }
        lines_ = {};
    }
}
