#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "core/common/ResponseLogModel.h"

// A page's response log on the screen, a view of the log's model: plain text in the system
// fixed-pitch font. Lines appended to the model are appended at the end one by one. The
// document is where the log's lines are held while the view shows them: the user may type
// into it, and Save and Copy All read what it shows.
//
// A handler's lines wait until it returns to the event loop and then go into the document
// together, in one edit: the view lays out and scrolls once for all of them instead of once
// per line, and the exchange that writes them does not wait for the screen.
class ResponseLogEdit : public QPlainTextEdit, private ResponseLogModel::View {
    Q_OBJECT
  public:
    // Shows `model`, which must outlive the view.
    ResponseLogEdit(const QString& objectName, ResponseLogModel& model, QWidget* parent = nullptr);
    // Shows a model of its own.
    explicit ResponseLogEdit(const QString& objectName, QWidget* parent = nullptr);
    ~ResponseLogEdit() override;

    // The model shown; null once it has gone (a page's model may end before its view).
    ResponseLogModel* Model() const { return model_; }

    // The log's lines as shown, UTF-8; an empty log has none, a log holding one empty line
    // has one. Lines still waiting are written into the document first.
    std::vector<std::string> Lines() const;

  signals:
    // "Save Log As…" of the context menu; whoever knows the page and the boxes saves.
    void SaveRequested();

  protected:
    // The standard edit menu with "Save Log As…" and "Copy All" added.
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void LineAppended(std::string_view line) override;
    void LogCleared() override;
    void ModelDestroyed() override { model_ = nullptr; }
    std::vector<std::string> HeldLines() const override { return Lines(); }

    // Writes the waiting lines into the document and, if the view showed the end before
    // they came, scrolls to the new end. Const because the lines are part of the log
    // already; only where they are held changes.
    void WritePending() const;

    std::unique_ptr<ResponseLogModel> ownModel_;  // when no model was given
    ResponseLogModel* model_;
    mutable std::vector<QString> pending_;  // appended, not yet in the document
    mutable bool holdsLines_ = false;       // something was appended since the last clear
    mutable bool followEnd_ = false;        // the view showed the end before those lines came
};
