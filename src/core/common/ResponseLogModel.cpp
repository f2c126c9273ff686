#include "core/common/ResponseLogModel.h"

ResponseLogModel::~ResponseLogModel() {
    if (view_ != nullptr) {
        view_->ModelDestroyed();
    }
}

void ResponseLogModel::AppendLine(std::string_view line) {
    lines_.emplace_back(line);
    if (view_ != nullptr) {
        view_->LineAppended(line);
    }
}

void ResponseLogModel::ClearLog() {
    lines_.clear();
    if (view_ != nullptr) {
        view_->LogCleared();
    }
}
